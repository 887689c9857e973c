// Shared set-up of the reader tests: a fresh reader, the console captured in memory, and
// helpers that read lines from the in-memory text or from a file connected on a unit.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kit/kit.h"
#include "lineio/lineio.h"

namespace kit_test {

inline constexpr std::int32_t kFileUnit = 88;
inline constexpr std::int32_t kConsole = 6;

struct Field {
  std::int32_t type = 0;
  double value = 0.0;
  std::string text;  // without trailing blanks
};

struct MixedLine {
  std::int32_t npar = -99;
  std::vector<Field> fields;
};

inline std::uint64_t bits(double v) {
  return std::bit_cast<std::uint64_t>(v);
}

inline std::string padded(std::string_view text, std::size_t width) {
  std::string s(text.substr(0, width));
  s.resize(width, ' ');
  return s;
}

class ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kit::reset_reader();
    lineio::bind_console(in_, out_, false);
  }
  void TearDown() override {
    lineio::flush_console();
    lineio::bind_standard_console();
  }

  // Everything written on the console so far.
  std::string console() {
    lineio::flush_console();
    return out_.bytes();
  }

  // Sets the reader up on the in-memory text as the tool sets it up on its file.
  void use_text(std::string_view text, std::int32_t message_unit = -kConsole) {
    kit::load_memory_text(text);
    std::int32_t ierr = 0;
    kit::INIFII(kit::kMemoryUnit, message_unit, ierr);
    ASSERT_EQ(ierr, 0);
  }

  // Connects a file for reading on unit 88.
  void open_file(const std::string& path) {
    lineio::OpenRequest request;
    request.file = path;
    request.status = "OLD    ";
    request.access = "SEQUENTIAL";
    request.form = "FORMATTED  ";
    request.blank = "NULL";
    request.share = "DENYNONE";
    ASSERT_EQ(lineio::open_unit(kFileUnit, request), 0) << path;
  }

  // One RDMIX call with arrays of `capacity` fields of `text_length` characters.
  MixedLine read_mixed(std::int32_t& ierr, std::size_t capacity = 100,
                       std::int32_t text_length = 80) {
    std::vector<std::int32_t> itype(capacity, -7);
    std::vector<double> value(capacity, -7.0);
    std::vector<char> chars(capacity * static_cast<std::size_t>(text_length), '?');
    const kit::TextArray text(chars, text_length);
    MixedLine line;
    kit::RDMIX(line.npar, itype, value, text, kFileUnit, kConsole, ierr);
    for (std::int32_t n = 0; n < line.npar; ++n) {
      const auto k = static_cast<std::size_t>(n);
      std::string t(text.at(k).data(), text.at(k).size());
      t.erase(t.find_last_not_of(' ') + 1);
      line.fields.push_back({itype[k], value[k], t});
    }
    return line;
  }
  MixedLine read_mixed() {
    std::int32_t ierr = 0;
    MixedLine line = read_mixed(ierr);
    EXPECT_EQ(ierr, 0);
    return line;
  }

  // The processed line from position 1 through the end mark.
  static std::string processed() {
    const auto& s = kit::RDSTATE;
    return std::string(s.PRCLIN.data() + 1, static_cast<std::size_t>(s.ILAST + 1));
  }

  lineio::MemorySource in_{""};
  lineio::MemorySink out_;
};

}  // namespace kit_test
