// Hostile and damaged workbooks end the reading safely with a reason: a zip bomb, entity
// definitions, an encrypted or truncated container, a shared string out of range, a cell
// beyond the last column, a cell longer than any weight needs. The workbooks are made here
// with minizip's writer.
#include <gtest/gtest.h>
#include <minizip/zip.h>

#include <string>
#include <utility>
#include <vector>

#include "sheet/sheet.h"
#include "support/subprocess.h"
#include "support/workbook_maker.h"

namespace {

using testing_support::Entries;
using testing_support::kHeadings;
using testing_support::kWorkbook;
using testing_support::make_zip;
using testing_support::sheet_xml;
using testing_support::workbook;

// The same bytes with a second directory entry named `alias` (as long as `name`) that points at
// the data of entry `name`: two names for one entry, as a "zip bomb" shares its data.
std::string with_alias(std::string zip, const std::string& name, const std::string& alias) {
  const auto u16 = [&](std::size_t at) {
    return static_cast<std::size_t>(static_cast<unsigned char>(zip[at])) |
           static_cast<std::size_t>(static_cast<unsigned char>(zip[at + 1])) << 8;
  };
  const auto add16 = [&](std::size_t at, std::size_t n) {
    const std::size_t v = u16(at) + n;
    zip[at] = static_cast<char>(v & 0xFF);
    zip[at + 1] = static_cast<char>(v >> 8);
  };
  // The directory record of `name`: its signature stands 46 bytes before the name.
  std::size_t at = zip.find(name);
  while (at != std::string::npos && (at < 46 || zip.compare(at - 46, 4, "PK\x01\x02") != 0)) {
    at = zip.find(name, at + 1);
  }
  const std::size_t record = at - 46;
  std::string copy = zip.substr(record, 46 + name.size() + u16(record + 30) + u16(record + 32));
  copy.replace(46, alias.size(), alias);
  const std::size_t end = zip.rfind(std::string("PK\x05\x06", 4));
  zip.insert(end, copy);
  const std::size_t moved = end + copy.size();
  add16(moved + 8, 1);
  add16(moved + 10, 1);
  add16(moved + 12, copy.size());
  return zip;
}

// An OpenDocument spreadsheet of one table: the headings Mass, X, Y, Z, then `rows`.
std::string ods(const std::string& rows) {
  std::string heading = "<table:table-row>";
  for (const char* h : {"Mass", "X", "Y", "Z"}) {
    heading += std::string("<table:table-cell><text:p>") + h + "</text:p></table:table-cell>";
  }
  return make_zip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                   {"content.xml", R"(<table:table table:name="S">)" + heading +
                                       "</table:table-row>" + rows + "</table:table>"}});
}

const std::string kOdsCoordinates =
    R"(<table:table-cell office:value-type="float" office:value="2" table:number-columns-repeated="3"/>)";

class Quiet final : public sheet::RowSink {
 public:
  bool heading(const sheet::Heading& /*heading*/) override { return true; }
  void row(const sheet::Row& r) override {
    rows += std::to_string(r.number) + (r.reason.empty() ? "" : " " + std::string(r.reason)) + "\n";
  }
  void note(std::string_view /*text*/) override {}
  void warning(std::string_view /*cell*/, std::string_view /*text*/) override {}
  std::string rows;
};

struct Hostile {
  const char* name;
  std::string bytes;
  const char* reason;  // a part of the reason given; empty: read, with `rows`
  const char* rows;
};

std::vector<Hostile> cases() {
  const std::string bomb(std::size_t{8} << 20, ' ');  // 8 MiB that deflate to about 8 KiB
  std::string deck = make_zip(workbook(sheet_xml(
      R"(<row r="2"><c r="A2"><v>1</v></c><c r="B2"><v>2</v></c><c r="C2"><v>3</v></c><c r="D2"><v>4</v></c></row>)")));
  std::string wide_cell(40000, '7');
  const std::string row2 =
      R"(<row r="2"><c r="A2"><v>1.5</v></c><c r="B2"><v>2</v></c><c r="C2"><v>3</v></c><c r="D2"><v>4</v></c></row>)";
  Entries twice = workbook(sheet_xml(row2));
  twice.emplace_back("xl/worksheets/sheet1.xml", sheet_xml(row2 + row2));
  // Read to the end of the first table only; a digit of it changed after the check sum.
  std::string changed = make_zip(
      {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
       {"content.xml",
        R"(<table:table table:name="S"><table:table-row><table:table-cell><text:p>Mass</text:p></table:table-cell><table:table-cell><text:p>X</text:p></table:table-cell><table:table-cell><text:p>Y</text:p></table:table-cell><table:table-cell><text:p>Z</text:p></table:table-cell></table:table-row><table:table-row><table:table-cell office:value-type="float" office:value="1.5"/><table:table-cell office:value-type="float" office:value="2"/><table:table-cell office:value-type="float" office:value="3"/><table:table-cell office:value-type="float" office:value="4"/></table:table-row></table:table><table:table table:name="T"/>)"}},
      nullptr, 0);
  changed[changed.find("\"1.5\"") + 1] = '9';
  return {
      {"ZipBomb", make_zip(workbook("<worksheet>" + bomb)), "zip bomb", ""},
      {"EntityExpansion",
       make_zip(workbook(sheet_xml(
           "",
           R"(<?xml version="1.0"?><!DOCTYPE w [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">]>)"))),
       "declares a document type", ""},
      {"Encrypted", make_zip(workbook(sheet_xml("")), "secret"), "encrypted", ""},
      {"Truncated", deck.substr(0, deck.size() / 2), "cut short or damaged", ""},
      {"Malformed", make_zip(workbook("<worksheet><sheetData><row>")), "ends before its XML does",
       ""},
      {"SharedStringOutOfRange",
       make_zip(workbook(sheet_xml(R"(<row r="2"><c r="A2" t="s"><v>7</v></c></row>)"),
                         "<sst><si><t>one</t></si></sst>")),
       "shared string 7 of 1", ""},
      {"CellBeyondLastColumn",
       make_zip(workbook(sheet_xml(
           R"(<row r="2"><c r="A2"><v>1</v></c><c r="B2"><v>2</v></c><c r="C2"><v>3</v></c><c r="D2"><v>4</v></c><c r="ZZZZZ2"><v>5</v></c></row>)"))),
       "holds a cell \"ZZZZZ2\" in row 2 (columns end at XFD", ""},
      {"CellBeyondLastRow",
       make_zip(
           workbook(sheet_xml(R"(<row r="2"><c r="B99999999999999999999"><v>5</v></c></row>)"))),
       "holds a cell \"B99999999999999999999\" in row 2 (columns end at XFD, rows at 1048576)", ""},
      {"CellOfAnotherRow",
       make_zip(workbook(sheet_xml(R"(<row r="2"><c r="A9"><v>5</v></c></row>)"))),
       "its sheet \"S\" holds the cell \"A9\" inside row 2", ""},
      {"RowsOutOfOrder", make_zip(workbook(sheet_xml(R"(<row r="5"/><row r="3"/><row r="5"/>)"))),
       "holds row 3 after row 5", ""},
      {"TwoValuesInOneCell",
       make_zip(workbook(sheet_xml(R"(<row r="2"><c r="A2"><v>1</v><v>2</v></c></row>)"))),
       "holds the cell S!A2 with two values", ""},
      {"UnknownCellType",
       make_zip(workbook(sheet_xml(R"(<row r="2"><c r="A2" t="zz"><v>1</v></c></row>)"))),
       "holds the cell S!A2 of an unknown type \"zz\"", ""},
      {"RowsInAnExtensionList",
       make_zip(workbook(
           "<worksheet><sheetData>" + kHeadings + "</sheetData><extLst><ext><x:row r=\"2\">" +
           R"(<c r="A2"><v>1</v></c><c r="B2"><v>2</v></c><c r="C2"><v>3</v></c><c r="D2"><v>4</v></c></x:row></ext></extLst></worksheet>)")),
       "holds a row \"2\" outside its sheet data", ""},
      {"OdsRowRepeatedPastAnyCount",
       ods(R"(<table:table-row table:number-rows-repeated="9223372036854775807"><table:table-cell office:value-type="float" office:value="1"/>)" +
           kOdsCoordinates + "</table:table-row>"),
       "repeats a row beyond 16777216 rows", ""},
      {"OdsEmptyRowsPastAnyCountThenARow",
       ods(R"(<table:table-row table:number-rows-repeated="99999999999999999999"/><table:table-row><table:table-cell office:value-type="float" office:value="1"/>)" +
           kOdsCoordinates + "</table:table-row>"),
       "repeats a row beyond 16777216 rows", ""},
      {"OdsCellRepeatedPastAnyCount",
       ods(R"(<table:table-row><table:table-cell office:value-type="float" office:value="1" table:number-columns-repeated="9223372036854775807"/></table:table-row>)"),
       "repeats a cell beyond column XFD", ""},
      {"OdsRepeatsOfLongTexts",
       ods(R"(<table:table-row table:number-rows-repeated="4000"><table:table-cell office:value-type="string" table:number-columns-repeated="16384"><text:p>)" +
           std::string(32, 'x') +
           "<text:s text:c=\"1024\"/><text:s "
           "text:c=\"1024\"/></text:p></table:table-cell></table:table-row>"),
       "of more than 32 MiB of text with repeats", ""},
      {"OdsCommentOnAnEmptyCellIsNoMass",
       ods(R"(<table:table-row><table:table-cell><office:annotation><dc:creator>A</dc:creator><text:p>5</text:p></office:annotation></table:table-cell>)" +
           kOdsCoordinates + "</table:table-row>"),
       "", "2 the mass cell is empty; the row is left out\n"},
      {"EmptySharedStringsPastTheirBound",
       make_zip(workbook(
           sheet_xml(""), "<sst>" +
                              [] {
                                std::string many;
                                for (std::uint64_t k = 0; k <= std::uint64_t{1} << 24; ++k)
                                  many += "<si/>";
                                return many;
                              }() +
                              "</sst>")),
       "more than 16777216 shared strings", ""},
      {"HugeCell",
       make_zip(workbook(sheet_xml(
           R"(<row r="2"><c r="A2" t="inlineStr"><is><t>)" + wide_cell +
           R"(</t></is></c><c r="B2"><v>2</v></c><c r="C2"><v>3</v></c><c r="D2"><v>4</v></c></row>)"))),
       "", "2 the mass cell holds a text longer than 32767 characters; the row is left out\n"},
      {"RepeatedRowsOfRepeatedCells",
       make_zip(
           {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
            {"content.xml",
             R"(<table:table table:name="S"><table:table-row table:number-rows-repeated="16000000"><table:table-cell office:value-type="float" office:value="1" table:number-columns-repeated="16384"/></table:table-row></table:table>)"}}),
       "cells with repeats", ""},
      {"StoredNotANumber",
       make_zip(workbook(sheet_xml(
           R"(<row r="2"><c r="A2"><v>NaN</v></c><c r="B2"><v>2</v></c><c r="C2"><v>3</v></c><c r="D2"><v>4</v></c></row>)"))),
       "", "2 the mass cell holds \"NaN\", not a finite number; the row is left out\n"},
      {"FormulaWithoutValue",
       make_zip(workbook(sheet_xml(
           R"(<row r="2"><c r="A2"><f>B2*2</f></c><c r="B2"><v>2</v></c><c r="C2"><v>3</v></c><c r="D2"><v>4</v></c></row>)"))),
       "",
       "2 the mass cell is a formula without a saved value (=B2*2); open and save the file in a "
       "spreadsheet program to store its values; the row is left out\n"},
      {"TwoEntriesOfOneName", make_zip(twice), "two entries named xl/worksheets/sheet1.xml", ""},
      {"TwoNamesForOneEntry",
       with_alias(make_zip(workbook(sheet_xml(row2))), "xl/worksheets/sheet1.xml",
                  "xl/worksheets/sheet2.xml"),
       "overlap", ""},
      {"DigitChangedAfterItsCheckSum", changed, "content.xml fails its check sum", ""},
  };
}

TEST(HostileWorkbooks, FailSafelyWithAReason) {
  for (const Hostile& c : cases()) {
    SCOPED_TRACE(c.name);
    auto source = sheet::memory_source(c.bytes);
    const sheet::Form form = sheet::form_of(*source, "book.xlsx", false);
    Quiet sink;
    const sheet::Outcome outcome = sheet::read_table(*source, form, {}, sink);
    if (std::string(c.reason).empty()) {
      EXPECT_TRUE(outcome.read) << outcome.reason;
      EXPECT_EQ(sink.rows, c.rows);
    } else {
      EXPECT_FALSE(outcome.read);
      EXPECT_TRUE(outcome.unreadable);
      EXPECT_NE(outcome.reason.find(c.reason), std::string::npos) << outcome.reason;
    }
  }
}

// A delimited row of a million cells and a cell of 40,000 characters are read within bounds.
TEST(HostileTables, MillionColumnsAndAHugeCell) {
  const std::string bytes = "Mass,X,Y,Z\n1,2,3,4" + std::string(1'000'000, ',') + "9\n" +
                            std::string(40000, '5') + ",2,3,4\n";
  auto source = sheet::memory_source(bytes);
  Quiet sink;
  const sheet::Outcome outcome =
      sheet::read_table(*source, sheet::form_of(*source, "w.csv", false), {}, sink);
  EXPECT_TRUE(outcome.read) << outcome.reason;
  EXPECT_EQ(sink.rows,
            "2\n3 the mass cell holds a text longer than 32767 characters; the row is left out\n");
}

}  // namespace
