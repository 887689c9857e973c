// Test support: small workbooks made with minizip's writer, an Office Open XML workbook of one
// sheet whose headings are Mass, X, Y, Z.
#pragma once

#include <gtest/gtest.h>
#include <minizip/zip.h>

#include <string>
#include <utility>
#include <vector>

#include "support/subprocess.h"

namespace testing_support {

using Entries = std::vector<std::pair<std::string, std::string>>;

// A zip file of `entries`, written by minizip (deflated unless `method` says otherwise).
inline std::string make_zip(const Entries& entries, const char* password = nullptr,
                            int method = Z_DEFLATED) {
  testing_support::ScratchDir dir;
  const std::string path = dir.file("book.zip");
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  EXPECT_NE(zip, nullptr);
  for (const auto& [name, bytes] : entries) {
    zip_fileinfo info{};
    EXPECT_EQ(zipOpenNewFileInZip3_64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                      method, 9, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                      password, 0, 0),
              ZIP_OK);
    EXPECT_EQ(zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size())), ZIP_OK);
    zipCloseFileInZip(zip);
  }
  zipClose(zip, nullptr);
  return dir.read("book.zip");
}

inline const std::string kWorkbook =
    R"(<workbook xmlns:r="r"><sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>)";
inline const std::string kRelations =
    R"(<Relationships><Relationship Id="rId1" Target="worksheets/sheet1.xml"/></Relationships>)";
inline const std::string kHeadings =
    R"(<row r="1"><c r="A1" t="inlineStr"><is><t>Mass</t></is></c><c r="B1" t="inlineStr"><is><t>X</t></is></c><c r="C1" t="inlineStr"><is><t>Y</t></is></c><c r="D1" t="inlineStr"><is><t>Z</t></is></c></row>)";

inline std::string sheet_xml(const std::string& rows, const std::string& prolog = {}) {
  return prolog + "<worksheet><sheetData>" + kHeadings + rows + "</sheetData></worksheet>";
}

inline Entries workbook(const std::string& sheet, const std::string& strings = {}) {
  Entries e = {{"xl/workbook.xml", kWorkbook},
               {"xl/_rels/workbook.xml.rels", kRelations},
               {"xl/worksheets/sheet1.xml", sheet}};
  if (!strings.empty()) e.emplace_back("xl/sharedStrings.xml", strings);
  return e;
}

}  // namespace testing_support
