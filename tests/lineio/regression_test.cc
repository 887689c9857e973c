// Faults of the line layouts found by fuzzing, each kept as a test.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include "lineio/lineio.h"

namespace {

std::string field_of(void (*render)(std::span<char>), int w) {
  std::string s(static_cast<std::size_t>(w), '?');
  render(s);
  return s;
}

// Empty parts (an integer has no exponent, an empty text has no characters) may come without
// storage; composing a field from them must not hand a null pointer to a byte copy. The
// sanitizers of the fuzz build flag such a copy.
TEST(LayoutRegression, EmptyPartsWithoutStorage) {
  EXPECT_EQ(field_of([](std::span<char> f) { lineio::render_int(f, -12); }, 5), "  -12");
  EXPECT_EQ(field_of([](std::span<char> f) { lineio::render_text(f, std::string_view{}); }, 3),
            "   ");
  EXPECT_EQ(field_of([](std::span<char> f) { lineio::render_text(f, std::string_view{}); }, 0), "");
  EXPECT_EQ(field_of(
                [](std::span<char> f) {
                  lineio::render_fixed(f, std::numeric_limits<double>::quiet_NaN(), 3);
                },
                5),
            "  NaN");
  lineio::Line line;
  line.lit(std::string_view{}).text(std::string_view{}, 2).lit("#");
  EXPECT_EQ(line.view(), "  #");
}

}  // namespace
