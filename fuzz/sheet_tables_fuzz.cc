// libFuzzer target: the table readers on any bytes. The first byte chooses what the rest is:
// a delimited table (.csv, with or without --columns), the sheet of a workbook, the shared
// strings of one, the content of an OpenDocument spreadsheet (each put into a stored zip
// container made here, so that the fuzzer's bytes reach the XML readers unchanged), or a zip
// container itself. Every row handed on is checked: its number and its count of filled cells
// in range, a reason exactly when it is no item. No count may overflow or wrap: row numbers
// rise from the heading's on and stay within the largest sheet any form allows, and the
// heading's columns within XFD.
#include <zlib.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sheet/sheet.h"

namespace {

void put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

// A zip container whose entries are stored as they are.
std::string stored_zip(const std::vector<std::pair<std::string, std::string_view>>& entries) {
  std::string out;
  std::string directory;
  for (const auto& [name, bytes] : entries) {
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
    const auto offset = static_cast<std::uint32_t>(out.size());
    const auto size = static_cast<std::uint32_t>(bytes.size());
    put32(out, 0x04034b50);
    put16(out, 20);
    put16(out, 0);
    put16(out, 0);  // stored
    put32(out, 0);
    put32(out, crc);
    put32(out, size);
    put32(out, size);
    put16(out, static_cast<std::uint32_t>(name.size()));
    put16(out, 0);
    out += name;
    out += bytes;
    put32(directory, 0x02014b50);
    put16(directory, 20);
    put16(directory, 20);
    put16(directory, 0);
    put16(directory, 0);
    put32(directory, 0);
    put32(directory, crc);
    put32(directory, size);
    put32(directory, size);
    put16(directory, static_cast<std::uint32_t>(name.size()));
    put16(directory, 0);
    put16(directory, 0);
    put16(directory, 0);
    put16(directory, 0);
    put32(directory, 0);
    put32(directory, offset);
    directory += name;
  }
  const auto at = static_cast<std::uint32_t>(out.size());
  out += directory;
  put32(out, 0x06054b50);
  put16(out, 0);
  put16(out, 0);
  put16(out, static_cast<std::uint32_t>(entries.size()));
  put16(out, static_cast<std::uint32_t>(entries.size()));
  put32(out, static_cast<std::uint32_t>(directory.size()));
  put32(out, at);
  put16(out, 0);
  return out;
}

constexpr std::string_view kWorkbook =
    R"(<workbook><sheets><sheet name="S" r:id="rId1"/></sheets></workbook>)";
constexpr std::string_view kRelations =
    R"(<Relationships><Relationship Id="rId1" Target="worksheets/sheet1.xml"/></Relationships>)";
constexpr std::string_view kSheet =
    R"(<worksheet><sheetData><row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="C1" t="s"><v>2</v></c><c r="D1" t="s"><v>3</v></c></row><row r="2"><c r="A2" t="s"><v>4</v></c><c r="B2"><v>1</v></c><c r="C2"><v>2</v></c><c r="D2"><f>SUM(A1)</f></c></row></sheetData></worksheet>)";
constexpr std::string_view kStrings =
    R"(<sst><si><t>Mass [t]</t></si><si><t>X [mm]</t></si><si><t>Y</t></si><si><t>Z</t></si><si><t>1,5</t></si></sst>)";

class Checks final : public sheet::RowSink {
 public:
  bool heading(const sheet::Heading& h) override {
    for (std::uint32_t c : h.column) {
      if (c >= 16384) __builtin_trap();
    }
    if (h.row < 0 || h.row > kLastRow) __builtin_trap();
    last_row_ = h.row;
    return true;
  }
  void row(const sheet::Row& r) override {
    if (r.number < 1 || r.filled < 0 || r.filled > 4) __builtin_trap();
    if (r.number <= last_row_ || r.number > kLastRow) __builtin_trap();
    last_row_ = r.number;
    // An item, and a row left out as --skip-rows asks, come without a reason; every other
    // row names its cell and says why.
    const bool item =
        r.outcome == sheet::Row::Outcome::item || r.outcome == sheet::Row::Outcome::skipped;
    if (item != r.reason.empty() || item != r.cell.empty()) __builtin_trap();
  }
  void note(std::string_view text) override {
    if (text.empty()) __builtin_trap();
  }
  void warning(std::string_view cell, std::string_view text) override {
    if (cell.empty() || text.empty()) __builtin_trap();
  }

 private:
  // The last row of an OpenDocument table, the largest of the forms (a delimited file within
  // the fuzzer's length has far fewer records).
  static constexpr std::int64_t kLastRow = std::int64_t{1} << 24;
  std::int64_t last_row_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string bytes;
  std::string name = "book.xlsx";
  sheet::Options options;
  switch (data[0] % 6) {
    case 0:
      bytes = rest;
      name = "w.csv";
      break;
    case 1:
      bytes = rest;
      name = "w.csv";
      // Columns by letter, number and heading, a constant, and rows left out.
      options.columns = (data[0] & 8) != 0 ? "mass=B,x=C,y=3,z=Z" : "mass=B,x=C,y=0,z=1.5";
      options.skip_rows = "3,5-7";
      break;
    case 2:
      bytes = stored_zip({{"xl/workbook.xml", kWorkbook},
                          {"xl/_rels/workbook.xml.rels", kRelations},
                          {"xl/worksheets/sheet1.xml", rest},
                          {"xl/sharedStrings.xml", kStrings}});
      break;
    case 3:
      bytes = stored_zip({{"xl/workbook.xml", kWorkbook},
                          {"xl/_rels/workbook.xml.rels", kRelations},
                          {"xl/worksheets/sheet1.xml", kSheet},
                          {"xl/sharedStrings.xml", rest}});
      break;
    case 4:
      bytes = stored_zip(
          {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", rest}});
      name = "book.ods";
      break;
    default:
      bytes = rest;
      break;
  }
  auto source = sheet::memory_source(bytes);
  const sheet::Form form = sheet::form_of(*source, name, false);
  Checks checks;
  const sheet::Outcome outcome = sheet::read_table(*source, form, options, checks);
  if (outcome.read && !outcome.reason.empty()) __builtin_trap();
  return 0;
}
