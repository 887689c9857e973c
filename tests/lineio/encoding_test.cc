// Text encodings at the edge of the line input: characters of UTF-8 names, the encoding a
// text's first bytes tell, and UTF-16 converted piece by piece as it is read.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "lineio/text_encoding.h"
#include "support/utf16.h"

namespace {

using lineio::TextDecoder;
using testing_support::utf16;

TEST(Characters, AreCodePointsOrStrayBytes) {
  struct Case {
    std::string text;
    std::size_t characters;
    std::size_t bytes_of_two;
  };
  const Case cases[] = {
      {"abc", 3, 2},
      {"\xc3\xa6\xc3\xb8", 2, 4},  // æø
      {"\xe2\x82\xac"
       "a",
       2, 4},                       // € and a letter
      {"\xf0\x9f\x98\x80z", 2, 5},  // a character beyond the BMP
      {"M\xfcller", 6, 2},          // Windows-1252: each byte a character
      {"\xc0\xaf"
       "a",
       3, 2},                  // an overlong form is two stray bytes
      {"\xed\xa0\x80", 3, 2},  // so is a surrogate written as UTF-8
      {"\xe2\x82", 2, 2},      // a cut sequence
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(lineio::character_count(c.text), c.characters);
    EXPECT_EQ(lineio::bytes_of_characters(c.text, 2), c.bytes_of_two);
  }
}

TEST(TextStart, TheFirstBytesTellTheEncoding) {
  struct Case {
    std::string head;
    std::size_t skipped;
    bool converting;
    bool refused;
  };
  const Case cases[] = {
      {"1.5 10", 0, false, false},
      {"\xef\xbb\xbf"
       "1.5",
       3, false, false},
      {"\xff\xfe"
       "1\0",
       2, true, false},
      {"\xfe\xff\0"
       "1",
       2, true, false},
      {std::string("1\0.\0", 4), 0, false, true},  // UTF-16 LE without the mark
      {std::string("\0"
                   "1\0.",
                   4),
       0, false, true},                            // UTF-16 BE without the mark
      {std::string("1\0 2", 4), 0, false, false},  // one NUL: bytes as they are
      {"\xfe\xfd 1", 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.head));
    TextDecoder text;
    EXPECT_EQ(text.start(c.head), c.skipped);
    EXPECT_EQ(text.converting(), c.converting);
    EXPECT_EQ(text.failed(), c.refused);
  }
  EXPECT_FALSE(TextDecoder::decidable("\xff\xfe"));
  EXPECT_TRUE(TextDecoder::decidable("\n"));  // a first empty answer is not held back
}

TEST(Utf16, ConvertsWhateverPiecesTheBytesArriveIn) {
  const std::string text = "1 B\xc3\xb8rn \xce\x94 \xe2\x82\xac \xf0\x9f\x98\x80\r\n2\n";
  for (const bool little : {true, false}) {
    const std::string bytes = utf16(text, little);
    for (const std::size_t piece : {1, 3, 64}) {
      for (const std::size_t room : {4, 5, 64}) {
        SCOPED_TRACE(std::to_string(little) + " " + std::to_string(piece) + " " +
                     std::to_string(room));
        TextDecoder decoder;
        decoder.start(little ? "\xff\xfe" : "\xfe\xff");
        std::string made;
        std::array<char, 64> out{};
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
          std::string_view raw = std::string_view(bytes).substr(at, piece);
          const bool end = at + piece >= bytes.size();
          while (!raw.empty() || end) {
            const std::size_t n = decoder.convert(raw, std::span(out).first(room), end);
            made.append(out.data(), n);
            if (n == 0) break;
          }
        }
        EXPECT_FALSE(decoder.failed()) << decoder.problem();
        EXPECT_EQ(made, text);
      }
    }
  }
}

}  // namespace
