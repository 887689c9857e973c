// KIT: the free-format input library.
//
// One reader per program: the settings and the line state live in one statically allocated
// record, RDSTATE, shared by every routine below; none of them takes it as an argument.
// Positions in the line buffers are 1-based, as the cells ICUR and ILAST count them.
// The routines are not re-entrant and not thread safe.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kit {

inline constexpr std::int32_t kMaxLine = 2048;        // longest line the reader takes
inline constexpr std::int32_t kMemoryUnit = -4321;    // LUNRD value: read the in-memory text
inline constexpr std::int32_t kNameLength = 32;       // NAMBUF
inline constexpr std::int32_t kEofStatus = -999;      // ISTAT after an end of file beyond MAXEOF
inline constexpr std::int32_t kMemoryEndStatus = 91;  // TXTLIN: no further line
inline constexpr std::size_t kTailLength = 64;        // RAWTAIL

// The reader state. Cell names are the library's own.
struct ReaderState {
  // Settings.
  std::int32_t NCHLIN = 0;  // characters taken from each record, 1..2048
  std::int32_t NCMTCH = 0;  // leading characters that make an abbreviated keyword match
  std::int32_t LUNRD = 0;   // read unit; 0 standard input; kMemoryUnit the in-memory text
  std::int32_t LUNPR = 0;   // message unit; 0 console; negative none
  std::int32_t LUNECH = 0;  // echo unit; 0 console; negative none
  std::int32_t IUPCAS = 0;  // 1: letters are turned into capitals in PRCLIN
  std::int32_t MAXEOF = 0;  // end-of-file tolerance
  char CMTCHR = '\0';       // comment-line character in column 1

  // Line state.
  std::int32_t ISTAT = 0;  // 0 last read succeeded; negative it failed
  std::int32_t NLINE = 0;  // records read since the last FIIOPN (saturates, never wraps)
  std::int32_t NEOF = 0;   // end-of-file hits since the last FIIOPN
  // Buffers indexed by position: [1..NCHLIN] the line, [NCHLIN+1] room for the end mark.
  // Index 0 is never part of a line.
  std::array<char, kMaxLine + 2> RAWLIN{};
  std::array<char, kMaxLine + 2> PRCLIN{};
  std::int32_t ICUR = 0;   // cursor: next position to examine
  std::int32_t ILAST = 0;  // last significant position of the current line
  char CURCHR = '\0';      // last letter taken by LETTER
  std::array<char, kNameLength> NAMBUF{};
  std::int32_t NAMLEN = 0;
  std::int32_t IWBEG = 0;  // last RDWORD word: first position
  std::int32_t IWEND = 0;  // last RDWORD word: one past its last position
  std::int32_t IVALUE = 0;
  std::int32_t IACCUM = 0;
  std::int32_t IDIGIT = 0;
  std::int32_t IEXPO = 0;
  double RVALUE = 0.0;

  // UNSINT's digit run, kept so that runs beyond the 32-bit range are never accumulated
  // into IACCUM: IACCUM_WIDE tells that the last run exceeded 2,147,483,647.
  bool IACCUM_WIDE = false;
  std::int32_t IDBEG = 0;  // first position of the last UNSINT digit run
  std::int32_t IDEND = 0;  // one past its last position

  // How RDMIX read the last line, for the checks of surprising readings: LPLAIN the
  // plain-number scanner read it (numbers, and products of two numbers, which read alike under
  // any precedence); LCOMMA (set by that scanner) a comma stood right after a number.
  bool LPLAIN = false;
  bool LCOMMA = false;
  // LTAB: the record reader met two tabs in a row between the line's first significant
  // character and its end (its last significant character, or the first "!").
  bool LTAB = false;

  // What the last record held beyond NCHLIN, which the line does not take: ITAIL the column
  // of the first such character that is neither a blank nor a tab (0 when there is none),
  // RAWTAIL the characters from there on, NTAIL of them.
  std::int64_t ITAIL = 0;
  std::array<char, kTailLength> RAWTAIL{};
  std::int32_t NTAIL = 0;

  // The in-memory text read when LUNRD is kMemoryUnit, and its current line: MEMBEG the
  // 1-based position of its first character, MEMEND that of the character that ended it
  // (both 0 before the first line).
  std::string MEMTXT;
  std::int32_t MEMBEG = 0;
  std::int32_t MEMEND = 0;
};

extern ReaderState RDSTATE;

// Puts the reader back into its program-start state (all numbers 0, nothing valid).
void reset_reader();
// Fills the in-memory text that the reader takes its records from when LUNRD is kMemoryUnit.
void load_memory_text(std::string_view text);

// Turns "a".."z" into capitals in place; every other character stays.
void UPCASE(std::span<char> text);

// ---- File opening ------------------------------------------------------------------------

// Connects file FNAME (trailing blanks are not part of the name) to unit LUNIT.
// ISTAT: 2 old, 3 new, 4 scratch, other unknown. IACC: 20 direct (IRECL words), 30 direct
// (128), other sequential. IFORM: 1 formatted, 2 unformatted. IBLNK: 1 blanks are zeros.
// IREP > 0 reports a successful open on LUNMSG; LUNMSG <= 0 writes nothing at all.
// IERR: 0, -901 illegal unit, -902 illegal record length, or minus the open service's code.
void OPNFIL(std::string_view FNAME, std::int32_t LUNIT, std::int32_t ISTAT, std::int32_t IACC,
            std::int32_t IFORM, std::int32_t IBLNK, std::int32_t IRECL, std::int32_t IREP,
            std::int32_t LUNMSG, std::int32_t& IERR);

// ---- Reader state and set-up -------------------------------------------------------------

// Standard set-up: 132-character lines, NCMTCH 8, one end of file tolerated, apostrophe
// comment lines, input rewound. IERR is decreased by 1 on failure.
void INIFII(std::int32_t LUNRD, std::int32_t LUNPR, std::int32_t& IERR);
// Validates and installs a full set of settings; IERR 0 or -1.
void FIIOPN(std::int32_t NCHLIN, std::int32_t NCMTCH, std::int32_t LUNRD, std::int32_t LUNPR,
            std::int32_t LUNECH, std::int32_t& IERR);
// Sets one setting by its code (the codes of GETPAR, but 9 and 10).
void SETPAR(std::int32_t value, std::int32_t code);
// One setting or line cell by its code: 1 ICUR, 2 NCHLIN, 3 NCMTCH, 4 IUPCAS, 5 LUNRD, 6 LUNPR,
// 7 LUNECH, 8 MAXEOF, 9 NLINE, 10 ILAST; 0 for any other code.
std::int32_t GETPAR(std::int32_t code);
// The comment-line character becomes chr's first character.
void SETCMT(std::string_view chr);
// ISTAT: 0 when the last read succeeded.
std::int32_t GETSTS();
// Restarts the input at its first record (the in-memory text at its first line).
void RWDINP();

// ---- Record reading ----------------------------------------------------------------------

// Reads the next significant record into RAWLIN/PRCLIN; see GETSTS and ATEOF for the outcome.
void RDLINE();
// Echoes a record: one blank and the whole text, on the echo unit (0 console, <0 none).
void ECHOLN(std::string_view text, std::int32_t LUNECH);
// Takes the next line of the in-memory text into line (line[0] is position 1; blank padded,
// at most nchlin characters); status 0, or kMemoryEndStatus when there is no further line.
void TXTLIN(std::span<char> line, std::int32_t nchlin, std::int32_t& status);

// ---- Cursor primitives and numeric fields ------------------------------------------------

// Moves the cursor past blanks (the end mark after the line stops it).
void SKIPBL();
// A field ends here (blanks, one comma with blanks around it, or the line's end): the
// separator is passed over and the cursor stands at the next field.
bool ENDFLD();
// Takes one letter (into CURCHR) or one digit (its value into IDIGIT) at the cursor.
bool LETTER();
bool DIGIT();
// The keyword, or its first NCMTCH characters at least (an abbreviation, whose word is then
// passed over to the next blank), stands at the cursor; the cursor moves past it. MATCHB
// skips blanks first.
bool MATCH(std::string_view keyword);
bool MATCHB(std::string_view keyword);
// Moves the cursor by count positions (kept within 1..ILAST+1), or with 0 to the next blank.
void MOVCUR(std::int32_t count);
// The scanners of numeric fields: a run of digits (into IACCUM), an exponent (into IEXPO), an
// unsigned number (into RVALUE), a function call SIN( or COS( (its value into RVALUE). Each
// answers false with the cursor where it started.
bool UNSINT();
bool EXPON();
bool UNSNUM();
bool FUNCAL();
// A field that is a whole number (into IVALUE), or a real number or an expression of numbers,
// operators and functions read strictly left to right (into RVALUE).
bool RDINT();
bool RDREAL();

// ---- Mixed-line reader -------------------------------------------------------------------

// The caller's array of fixed-length texts: count() elements of element_length characters.
class TextArray {
 public:
  TextArray(std::span<char> chars, std::int32_t element_length)
      : chars_(chars),
        element_length_(element_length > 0 ? element_length : 0),
        count_(element_length_ == 0 ? 0
                                    : chars.size() / static_cast<std::size_t>(element_length_)) {}
  std::size_t count() const { return count_; }  // counted once: it is asked for every line
  std::span<char> at(std::size_t n) const {     // 0-based element
    return chars_.subspan(n * static_cast<std::size_t>(element_length_),
                          static_cast<std::size_t>(element_length_));
  }
  std::int32_t element_length() const { return element_length_; }
  // The characters of the first n elements, one after the other.
  std::span<char> leading(std::size_t n) const {
    return chars_.first(std::min(n, count()) * static_cast<std::size_t>(element_length_));
  }

 private:
  std::span<char> chars_;
  std::int32_t element_length_;
  std::size_t count_;
};

// Reads the next significant line and cuts it into fields: NPAR the count (-1 at the end of
// the input), per field ITYPE 1 integer / 2 real / 3 text, VALUE and TEXT. Fills at most as
// many fields as the smallest of the three arrays holds.
void RDMIX(std::int32_t& NPAR, std::span<std::int32_t> ITYPE, std::span<double> VALUE,
           TextArray TEXT, std::int32_t LUNRD, std::int32_t LUNER, std::int32_t& IERR);
// The input was read past its end (NEOF above 0).
bool ATEOF();
// Only blanks are left of the line (they are passed over).
bool ATEOL();
// A name field (a capital and at most 31 capitals or digits) is at the cursor: into NAMBUF.
bool RDNAME();
// The last name, blank padded to the result's length.
void GETNAM(std::span<char> result);
// Any other word is at the cursor: it runs from IWBEG to IWEND - 1.
bool RDWORD();
// The last word as written in RAWLIN, blank padded to the result's length.
void GETWRD(std::span<char> result);
// RAWLIN positions i..min(j, NCHLIN) into the buffer, blank padded or cut to its length; an
// empty range leaves the buffer as it was.
void RAWSUB(std::span<char> buffer, std::int32_t i, std::int32_t j);

}  // namespace kit
