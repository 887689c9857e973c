// Fuzz target: the rules of the later checks of surprising readings fire exactly when their
// conditions hold, each condition written here the plain way:
//   - an empty cell between two tabs (empty_cell_at), against the line cut at its tab runs;
//   - numbers joined by a minus (joined_numbers), against a regular expression;
//   - item numbers counting up (ItemNumbers), against the runs found in the whole sequence;
//   - SIN or COS of degrees (read_both_ways), against the argument read as a field of its own.
// The first byte chooses the rule, the rest is its input.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "kit/kit.h"
#include "kit/surprises.h"
#include "lineio/lineio.h"

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "rule differs from its condition: %s\n", what);
  std::abort();
}

constexpr std::size_t kNone = std::string_view::npos;

// Items are the runs between tabs; the line may hold nothing but tabs between them, and
// leading blanks or tabs and trailing tabs.
void check_empty_cell(std::string_view line) {
  std::size_t column = 0;
  const std::size_t got = kit::detail::empty_cell_at(line, column);
  std::size_t begin = line.find_first_not_of(" \t");
  std::size_t expected = kNone;
  std::size_t expected_column = 0;
  if (begin != kNone) {
    const std::size_t end = line.find_last_not_of('\t') + 1;
    const std::string_view rest = line.substr(begin, end - begin);
    if (rest.find_first_of(" ,") == kNone) {
      bool single = false;
      std::size_t item = 0;
      std::size_t found = kNone;
      for (std::size_t p = 0; p < rest.size();) {
        const std::size_t tab = rest.find('\t', p);
        if (tab == kNone) break;
        const std::size_t next = rest.find_first_not_of('\t', tab);
        ++item;
        if (next - tab == 1) single = true;
        if (next - tab > 1 && found == kNone && item < 4) {
          found = item;
          expected_column = begin + tab + 2;
        }
        p = next;
      }
      if (single) expected = found;
    }
  }
  if (got != expected) fail("empty cell");
  if (got != kNone && column != expected_column) fail("column of the empty cell");
}

void check_joined(const std::string& field) {
  static const std::regex whole(R"([+-]?\d+\.\d+(E[+-]?\d+)?(-\d+\.\d+(E[+-]?\d+)?)+)");
  static const std::regex number(R"(\d+\.(\d+)(E[+-]?\d+)?)");
  bool expected = std::regex_match(field, whole);
  if (expected) {
    std::size_t decimals = 0;
    for (auto it = std::sregex_iterator(field.begin(), field.end(), number);
         it != std::sregex_iterator(); ++it) {
      const std::size_t d = static_cast<std::size_t>((*it)[1].length());
      if (decimals != 0 && d != decimals) expected = false;
      decimals = d;
    }
  }
  if (kit::detail::joined_numbers(field) != expected) fail("numbers joined by a minus");
}

// Lines of (whole, first, last) from small numbers, so that runs are frequent.
void check_item_numbers(std::string_view bytes) {
  struct Line {
    bool whole;
    double first;
    double last;
  };
  std::vector<Line> lines;
  for (std::size_t k = 0; k + 1 < bytes.size(); k += 2) {
    const auto a = static_cast<unsigned char>(bytes[k]);
    const auto b = static_cast<unsigned char>(bytes[k + 1]);
    lines.push_back({(a & 0x80) == 0, static_cast<double>(a & 0x07), static_cast<double>(b & 7)});
  }
  // The runs, found over the whole sequence: a line continues the one before when both are
  // whole, its first number is one more and its last number is not one more.
  std::vector<std::pair<std::int32_t, std::int32_t>> expected;
  std::size_t start = 0;
  for (std::size_t k = 0; k <= lines.size(); ++k) {
    const bool continues = k > 0 && k < lines.size() && lines[k].whole && lines[k - 1].whole &&
                           lines[k].first == lines[k - 1].first + 1 &&
                           lines[k].last != lines[k - 1].last + 1;
    if (continues) continue;
    if (k - start >= 3 && lines[start].whole) {
      expected.emplace_back(static_cast<std::int32_t>(start + 1), static_cast<std::int32_t>(k));
    }
    start = k;
  }
  kit::detail::ItemNumbers numbers;
  std::vector<std::pair<std::int32_t, std::int32_t>> got;
  kit::detail::ItemNumbers::Run run;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (numbers.add(static_cast<std::int32_t>(k + 1), lines[k].whole, lines[k].first, lines[k].last,
                    run)) {
      got.emplace_back(run.first_line, run.last_line);
    }
  }
  if (numbers.finish(run)) got.emplace_back(run.first_line, run.last_line);
  if (got != expected) fail("item numbers");
}

// The value of a line's only field as RDMIX reads it; false when it is no number.
bool read_field(std::string_view text, double& value) {
  kit::reset_reader();
  kit::load_memory_text(text);
  std::int32_t ierr = 0;
  kit::INIFII(kit::kMemoryUnit, -1, ierr);
  std::int32_t npar = 0;
  std::array<std::int32_t, 8> type{};
  std::array<double, 8> values{};
  std::array<char, 8 * 8> texts{};
  kit::RDMIX(npar, type, values, kit::TextArray(texts, 8), 1, -1, ierr);
  value = values[0];
  return ierr == 0 && npar == 1 && type[0] != 3;
}

void check_degrees(bool cosine, std::string_view argument) {
  const std::string field = std::string(cosine ? "COS(" : "SIN(") + std::string(argument) + ")";
  double read = 0.0;
  if (!read_field(field, read)) return;  // not an expression the reader takes
  const kit::TwoReadings two = kit::read_both_ways(1, static_cast<std::int32_t>(field.size()));
  if (!two.ok) fail("a field the reader takes is read both ways");
  double angle = 0.0;
  const bool pi = argument.find('P') != kNone;
  if (!pi && !read_field(argument, angle)) fail("an argument the reader takes in a function");
  const bool expected = !pi && std::fabs(angle) > 2 * std::numbers::pi;
  if ((two.degrees_at != 0) != expected) fail("SIN or COS of degrees");
  if (expected && (two.degrees_at != 1 || !(two.argument == angle || std::isnan(angle)))) {
    fail("the argument of SIN or COS of degrees");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static lineio::MemorySource keyboard("");
  static lineio::MemorySink screen;
  static const bool bound = [] {
    lineio::bind_console(keyboard, screen, false);
    return true;
  }();
  static_cast<void>(bound);
  if (size < 1 || size > 200) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 4) {
    case 0:
      check_empty_cell(bytes);
      break;
    case 1:
      check_joined(std::string(bytes));
      break;
    case 2:
      check_item_numbers(bytes);
      break;
    default:
      // Arguments of digits, points, signs, operators, E and PI only: no blank, no line end.
      if (bytes.find_first_not_of("0123456789.+-*/EPI") != kNone) return 0;
      check_degrees((data[0] & 0x80) != 0, bytes);
      break;
  }
  return 0;
}
