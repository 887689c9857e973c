// The zip and XML libraries that the Windows programs link statically, as built from Debian's
// sources by cmake/windows-deps.sh: a workbook-like zip written with minizip under a wide
// name, read back member by member, and its XML parsed with expat, which refuses entity
// expansion beyond its bound.
#include <expat.h>
#include <gtest/gtest.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>
// After ioapi.h (from unzip.h), whose types it uses.
#include <minizip/iowin32.h>

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/subprocess.h"

namespace {

// The text of every <t> element, in order.
struct Texts {
  std::vector<std::string> found;
  bool inside = false;
};

void XMLCALL start(void* data, const XML_Char* name, const XML_Char** /*attributes*/) {
  auto* texts = static_cast<Texts*>(data);
  texts->inside = std::string_view(name) == "t";
  if (texts->inside) texts->found.emplace_back();
}

void XMLCALL end(void* data, const XML_Char* /*name*/) {
  static_cast<Texts*>(data)->inside = false;
}

void XMLCALL characters(void* data, const XML_Char* text, int length) {
  auto* texts = static_cast<Texts*>(data);
  if (texts->inside) texts->found.back().append(text, static_cast<std::size_t>(length));
}

// Parses xml in one piece: the texts, or the parser's error.
std::pair<std::vector<std::string>, XML_Error> parse(std::string_view xml) {
  Texts texts;
  XML_Parser parser = XML_ParserCreate(nullptr);
  XML_SetUserData(parser, &texts);
  XML_SetElementHandler(parser, start, end);
  XML_SetCharacterDataHandler(parser, characters);
  const bool parsed =
      XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), XML_TRUE) == XML_STATUS_OK;
  const XML_Error error = parsed ? XML_ERROR_NONE : XML_GetErrorCode(parser);
  XML_ParserFree(parser);
  return {texts.found, error};
}

const std::string kSharedStrings =
    R"(<?xml version="1.0" encoding="UTF-8"?>)"
    R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="2">)"
    "<si><t>Mass [t]</t></si><si><t>Pump \xc3\x98 &amp; motor</t></si></sst>";

TEST(ZipXmlLibraries, AZipWrittenAtTestTimeReadsBackAndItsXmlParses) {
  const testing_support::ScratchDir dir;
  const std::wstring name =
      (std::filesystem::path(std::u8string(dir.path().begin(), dir.path().end())) /
       u8"vekt\u00f8.xlsx")
          .wstring();
  zlib_filefunc64_def wide_files{};
  fill_win32_filefunc64W(&wide_files);
  // A member that deflates well and one that is bigger than one read buffer.
  const std::string rows(300000, 'x');
  const std::array<std::pair<const char*, const std::string*>, 2> members = {
      {{"xl/sharedStrings.xml", &kSharedStrings}, {"xl/worksheets/sheet1.xml", &rows}}};
  {
    zipFile zip = zipOpen2_64(name.c_str(), APPEND_STATUS_CREATE, nullptr, &wide_files);
    ASSERT_NE(zip, nullptr);
    for (const auto& [member, bytes] : members) {
      ASSERT_EQ(zipOpenNewFileInZip64(zip, member, nullptr, nullptr, 0, nullptr, 0, nullptr,
                                      Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0),
                ZIP_OK);
      ASSERT_EQ(zipWriteInFileInZip(zip, bytes->data(), static_cast<unsigned>(bytes->size())),
                ZIP_OK);
      ASSERT_EQ(zipCloseFileInZip(zip), ZIP_OK);
    }
    ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
  }
  EXPECT_LT(std::filesystem::file_size(name), 4000u);  // deflated, not stored

  unzFile unzip = unzOpen2_64(name.c_str(), &wide_files);
  ASSERT_NE(unzip, nullptr);
  for (const auto& [member, bytes] : members) {
    SCOPED_TRACE(member);
    ASSERT_EQ(unzLocateFile(unzip, member, 1), UNZ_OK);
    ASSERT_EQ(unzOpenCurrentFile(unzip), UNZ_OK);
    std::string read;
    std::array<char, 65536> buffer{};
    int got = 0;
    while ((got = unzReadCurrentFile(unzip, buffer.data(), buffer.size())) > 0) {
      read.append(buffer.data(), static_cast<std::size_t>(got));
    }
    EXPECT_EQ(got, 0);
    EXPECT_EQ(unzCloseCurrentFile(unzip), UNZ_OK);  // the CRC matched
    EXPECT_EQ(read, *bytes);
  }
  EXPECT_EQ(unzLocateFile(unzip, "xl/workbook.xml", 1), UNZ_END_OF_LIST_OF_FILE);
  unzClose(unzip);

  const auto [texts, error] = parse(kSharedStrings);
  EXPECT_EQ(error, XML_ERROR_NONE);
  EXPECT_EQ(texts, (std::vector<std::string>{"Mass [t]", "Pump \xc3\x98 & motor"}));
}

TEST(ZipXmlLibraries, EntityExpansionIsRefused) {
  // Ten levels of ten references each: 10^10 characters if expanded.
  std::string xml = "<?xml version=\"1.0\"?><!DOCTYPE t [<!ENTITY e0 \"xxxxxxxxxx\">";
  for (int level = 1; level < 10; ++level) {
    xml += "<!ENTITY e" + std::to_string(level) + " \"";
    for (int k = 0; k < 10; ++k) xml += "&e" + std::to_string(level - 1) + ";";
    xml += "\">";
  }
  xml += "]><t>&e9;</t>";
  EXPECT_EQ(parse(xml).second, XML_ERROR_AMPLIFICATION_LIMIT_BREACH);
}

}  // namespace
