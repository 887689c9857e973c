// The reader on any bytes, any line length and any cursor: no fault, cells in range.
#include <climits>
#include <cstdint>
#include <string>

#include "reader_fixture.h"

namespace kit_test {
namespace {

// The reader on any bytes and any line length: no fault, every cell inside its range.
TEST_F(ReaderTest, ArbitraryBytesAtEveryLineLength) {
  std::string text;
  std::uint32_t seed = 12345;
  const char alphabet[] =
      "0123456789+-*/.,E PI SIN( COS( ) !'#%\t\x80\xff"
      "azAZ";
  for (int k = 0; k < 20000; ++k) {
    seed = seed * 1664525u + 1013904223u;
    text += (seed >> 24) % 53 == 0 ? '\n' : alphabet[(seed >> 8) % (sizeof alphabet - 1)];
  }
  for (std::int32_t nchlin : {1, 2, 7, 132, 2047, 2048}) {
    use_text(text, -1);
    kit::SETPAR(nchlin, 21);
    kit::SETPAR(0, 12);
    for (int k = 0; k < 1000; ++k) {
      std::int32_t ierr = 0;
      const MixedLine line = read_mixed(ierr);
      if (ierr != 0) break;
      ASSERT_LE(line.npar, (nchlin + 1) / 2);
      ASSERT_GE(kit::RDSTATE.ICUR, 1);
      ASSERT_LE(kit::RDSTATE.ICUR, kit::RDSTATE.ILAST + 1);
    }
  }
}

TEST_F(ReaderTest, EveryScannerIsSafeWhereverTheCursorStands) {
  use_text("  AB 1.5E3 SIN(1) x,y  ");
  kit::SETPAR(2048, 21);
  kit::RDLINE();
  const std::int32_t lasts[] = {kit::RDSTATE.ILAST, 2048, INT_MAX, 0, INT_MIN};
  const std::int32_t cursors[] = {INT_MIN, -1, 0, 1, 3, 19, 20, 2048, 2049, 2050, INT_MAX};
  for (const std::int32_t last : lasts) {
    for (const std::int32_t cursor : cursors) {
      for (int routine = 0; routine < 12; ++routine) {
        kit::RDSTATE.ILAST = last;
        kit::RDSTATE.ICUR = cursor;
        kit::RDSTATE.NCMTCH = routine % 2;  // also the never-set-up 0
        std::array<char, 16> text{};
        switch (routine) {
          case 0:
            kit::SKIPBL();
            break;
          case 1:
            kit::ENDFLD();
            break;
          case 2:
            kit::MATCH("SIN(");
            break;
          case 3:
            kit::MATCHB("AB");
            break;
          case 4:
            kit::MOVCUR(0);
            break;
          case 5:
            kit::MOVCUR(INT_MIN);
            break;
          case 6:
            kit::RDINT();
            break;
          case 7:
            kit::RDREAL();
            break;
          case 8:
            kit::RDNAME();
            break;
          case 9:
            kit::RDWORD() ? kit::GETWRD(text) : kit::GETNAM(text);
            break;
          case 10:
            kit::FUNCAL();
            break;
          case 11:
            kit::RAWSUB(text, cursor, INT_MAX);
            break;
        }
      }
    }
  }
  SUCCEED();
}

}  // namespace
}  // namespace kit_test
