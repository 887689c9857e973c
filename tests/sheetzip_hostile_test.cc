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

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

std::string make_zip(const Entries& entries, const char* password = nullptr) {
  testing_support::ScratchDir dir;
  const std::string path = dir.file("book.zip");
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  EXPECT_NE(zip, nullptr);
  for (const auto& [name, bytes] : entries) {
    zip_fileinfo info{};
    EXPECT_EQ(zipOpenNewFileInZip3_64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                      Z_DEFLATED, 9, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                      Z_DEFAULT_STRATEGY, password, 0, 0),
              ZIP_OK);
    EXPECT_EQ(zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size())), ZIP_OK);
    zipCloseFileInZip(zip);
  }
  zipClose(zip, nullptr);
  return dir.read("book.zip");
}

const std::string kWorkbook =
    R"(<workbook xmlns:r="r"><sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>)";
const std::string kRelations =
    R"(<Relationships><Relationship Id="rId1" Target="worksheets/sheet1.xml"/></Relationships>)";
const std::string kHeadings =
    R"(<row r="1"><c r="A1" t="inlineStr"><is><t>Mass</t></is></c><c r="B1" t="inlineStr"><is><t>X</t></is></c><c r="C1" t="inlineStr"><is><t>Y</t></is></c><c r="D1" t="inlineStr"><is><t>Z</t></is></c></row>)";

std::string sheet_xml(const std::string& rows, const std::string& prolog = {}) {
  return prolog + "<worksheet><sheetData>" + kHeadings + rows + "</sheetData></worksheet>";
}

Entries workbook(const std::string& sheet, const std::string& strings = {}) {
  Entries e = {{"xl/workbook.xml", kWorkbook},
               {"xl/_rels/workbook.xml.rels", kRelations},
               {"xl/worksheets/sheet1.xml", sheet}};
  if (!strings.empty()) e.emplace_back("xl/sharedStrings.xml", strings);
  return e;
}

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
       "", "2\n"},
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
