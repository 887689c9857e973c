// The page of massplot: round tick values and their labels, and a layout that stays sound
// for hostile sets of masses (one point, one line, absurd and tiny extents, no centre of
// gravity, too many masses for circles).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "plot/picture.h"

namespace {

struct TickCase {
  double least;  // smallest step wanted
  std::int64_t k;
  const char* label;
};

const TickCase kTickCases[] = {
    {1.2, 3, "6"},
    {1.2, 0, "0"},
    {1.2, -1, "-2"},
    {15, 7, "140"},
    {0.3, 3, "1.5"},
    {0.3, 2, "1"},
    {0.3, -3, "-1.5"},
    {0.03, 1, "0.05"},
    {0.0015, 21, "0.042"},
    {0.0007, 7, "0.007"},
    {3e-12, 3, "1.5e-11"},
    {4e5, 3, "1,500,000"},
    {7e8, 1, "1,000,000,000"},
    {4e9, -3, "-15,000,000,000"},
    {4e14, 3, "1.5e+15"},
    {9e299, 12, "1.2e+301"},
    {9e-31, -1, "-1e-30"},
    {700, 3, "3,000"},
};

TEST(PlotScale, TicksAreRoundValuesLabelledExactly) {
  for (const TickCase& c : kTickCases) {
    SCOPED_TRACE(c.least);
    const plot::Ticks t = plot::round_step(c.least);
    EXPECT_GE(t.step(), c.least);
    EXPECT_LT(t.step(), 2.5 * c.least * (1 + 1e-12));
    std::array<char, 48> out{};
    EXPECT_EQ(plot::tick_label(t, c.k, out), c.label);
  }
}

std::vector<plot::Mass> many_masses(int n) {
  std::vector<plot::Mass> masses;
  masses.reserve(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) masses.push_back({k * 0.01, (k % 37) * 1.0, (k % 11) * 2.0, 1.0});
  return masses;
}

struct LayoutCase {
  const char* what;
  std::vector<plot::Mass> masses;
  std::size_t outside = 0;  // masses far from the rest, drawn at the frame's edge
};

// 199 masses in a box of 20 by 10 by 5, and one with X in millimetres.
std::vector<plot::Mass> one_slip() {
  std::vector<plot::Mass> masses;
  masses.reserve(200);
  for (int k = 0; k < 199; ++k) masses.push_back({k % 20 * 1.0, k % 10 * 1.0, k % 5 * 1.0, 1.0});
  masses.push_back({45000, 3, 2, 1});
  return masses;
}

const std::vector<LayoutCase>& layout_cases() {
  static const std::vector<LayoutCase> cases{
      {"one mass at the origin", {{0, 0, 0, 5}}},
      {"one mass far out", {{1e6, -1e6, 3, 5}}},
      {"all on one point", {{2, 2, 2, 1}, {2, 2, 2, 3}, {2, 2, 2, 0}}},
      {"all on a line along X", {{0, 5, 1, 1}, {10, 5, 1, 2}, {40, 5, 1, 3}}},
      {"a metres-for-millimetres slip", {{1, 2, 3, 1}, {2, 3, 4, 1}, {2000, 3, 4, 1}}},
      {"absurd extent", {{-1e300, 0, 0, 1}, {1e300, 1, 1, 1e300}, {0, 0, 1e-300, -1e300}}},
      {"tiny extent", {{1e-200, 0, 0, 1}, {2e-200, 1e-200, 0, 1}}},
      {"tiny extent far out", {{1e12, 1e12, 1e12, 1}, {1e12 + 1e-3, 1e12, 1e12, 1}}},
      {"negative masses, total zero", {{0, 0, 0, 5}, {3, 4, 5, -5}}},
      {"negative total", {{0, 0, 0, 5}, {3, 4, 5, -6}}},
      {"zero masses", {{0, 0, 0, 0}, {1, 1, 1, 0}}},
      {"too many for circles", many_masses(20001)},
      {"one slip among many", one_slip(), 1},
  };
  return cases;
}

double across(const plot::View& v, const plot::Mass& m) {
  return v.across == plot::Axis::x ? m.x : m.y;
}
double up(const plot::View& v, const plot::Mass& m) {
  return v.up == plot::Axis::y ? m.y : m.z;
}

// Every mass and the centre of gravity lie inside their frames, but for masses far from the
// rest; frames lie on the page and do not overlap; every axis has at least two ticks, all
// inside the frame.
TEST(PlotScale, HostileSetsGiveASoundPage) {
  for (const LayoutCase& c : layout_cases()) {
    SCOPED_TRACE(c.what);
    const plot::Summary s = plot::summarize(c.masses);
    const plot::Page page = plot::plan_page(s);
    EXPECT_EQ(page.grid, c.masses.size() > plot::kMostCircles);
    EXPECT_EQ(s.outside_count, c.outside);
    ASSERT_TRUE(std::isfinite(page.scale) && page.scale > 0);
    EXPECT_TRUE(page.width >= 1000 && page.width < 3000) << page.width;
    EXPECT_TRUE(page.height > 300 && page.height < 2000) << page.height;
    double right_of_previous = 0;
    for (const plot::View& v : page.views) {
      SCOPED_TRACE(v.name);
      EXPECT_EQ(v.scale, page.scale);
      EXPECT_GT(v.left, right_of_previous);
      EXPECT_LE(v.left + v.width, page.width);
      EXPECT_LE(v.top + v.height, page.height);
      EXPECT_GT(v.width, 60);
      right_of_previous = v.left + v.width;
      std::vector<plot::Mass> shown = c.masses;
      if (s.cog_defined) shown.push_back({s.cog[0], s.cog[1], s.cog[2], 0});
      for (const plot::Mass& m : shown) {
        if (!s.within(static_cast<std::size_t>(v.across), across(v, m)) ||
            !s.within(static_cast<std::size_t>(v.up), up(v, m))) {
          continue;
        }
        const double x = v.page_x(across(v, m));
        const double y = v.page_y(up(v, m));
        ASSERT_TRUE(x >= v.left && x <= v.left + v.width) << x;
        ASSERT_TRUE(y >= v.top && y <= v.top + v.height) << y;
      }
      for (const plot::Ticks* t : {&v.ticks_across, &v.ticks_up}) {
        EXPECT_GE(t->last - t->first, 1);
        const bool is_across = t == &v.ticks_across;
        for (const std::int64_t k : {t->first, t->last}) {
          const double value = static_cast<double>(k) * t->step();
          const double at = is_across ? v.page_x(value) : v.page_y(value);
          const double lo = is_across ? v.left : v.top;
          const double size = is_across ? v.width : v.height;
          EXPECT_TRUE(at >= lo - 0.01 && at <= lo + size + 0.01) << at;
        }
      }
    }
  }
}

struct TilingCase {
  double spacing;  // of evenly spaced equal masses
  int count;
  double cell;  // the width wanted
};

// Evenly spaced equal masses give equal cells, the end cells too, whatever the ratio of their
// spacing to the cells; one coordinate gets one cell centred on it.
TEST(PlotScale, EvenlySpacedMassesFillTheirCellsAlike) {
  const TilingCase cases[] = {{0.5, 204, 1.23}, {0.5, 100, 0.526}, {1, 50, 2.9},    {0.7, 41, 1},
                              {1.3, 60, 1},     {1.9, 33, 1},      {0.1, 999, 7.7}, {3, 1, 1}};
  for (const TilingCase& c : cases) {
    SCOPED_TRACE(c.spacing);
    const double lo = -7.25;
    const plot::Tiling t =
        plot::tile_axis({lo, lo + (c.count - 1) * c.spacing}, c.count > 1 ? c.spacing : 0, c.cell);
    EXPECT_NEAR(t.width, c.cell, 0.5 * c.cell);
    std::vector<double> cells(static_cast<std::size_t>(t.count), 0.0);
    std::array<plot::CellShare, 4> shares{};
    for (int k = 0; k < c.count; ++k) {
      for (const plot::CellShare& share : plot::spread(t, lo + k * c.spacing, shares)) {
        ASSERT_TRUE(share.cell >= 0 && share.cell < t.count);
        cells[static_cast<std::size_t>(share.cell)] += share.share;
      }
    }
    for (const double n : cells) EXPECT_NEAR(n, c.count / static_cast<double>(t.count), 1e-9);
    if (c.count == 1) {
      EXPECT_DOUBLE_EQ(t.lo + t.width / 2, lo);
    }
    // Whatever the coordinate, a mass is spread wholly over cells that exist.
    for (const double at : {-1e300, lo - 50, lo, lo + 1e9, 1e300}) {
      double whole = 0;
      for (const plot::CellShare& share : plot::spread(t, at, shares)) {
        EXPECT_TRUE(share.cell >= 0 && share.cell < t.count);
        whole += share.share;
      }
      EXPECT_NEAR(whole, 1, 1e-12);
    }
  }
}

// Evenly spaced equal masses, their X written to 3 decimals as records carry them, give a flat
// weight curve (every bin within 5 % of the load) at every count, whatever the spacing to the
// cells; the bins hold the whole mass.
TEST(PlotScale, EvenlySpacedMassesGiveAFlatWeightCurveAtEveryCount) {
  const struct {
    int count;
    double spacing;
  } cases[] = {{10, 3},       {11, 0.5},      {674, 1},        {5000, 0.25},
               {20001, 0.05}, {200000, 0.01}, {1000000, 0.001}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    std::vector<plot::Mass> masses;
    masses.reserve(static_cast<std::size_t>(c.count));
    for (int k = 0; k < c.count; ++k) {
      const double x = std::round((12.5 + k * c.spacing) * 1000) / 1000;
      masses.push_back({x, (k % 5) * 1.0, (k % 3) * 2.0, 1000});
    }
    const plot::Summary s = plot::summarize(masses);
    const plot::Page page = plot::plan_page(s);
    const plot::Tiling& bins = page.bins;
    std::vector<double> kg(static_cast<std::size_t>(bins.count), 0.0);
    std::array<plot::CellShare, 4> shares{};
    for (const plot::Mass& m : masses) {
      for (const plot::CellShare& share : plot::spread(bins, m.x, shares)) {
        kg[static_cast<std::size_t>(share.cell)] += m.kg * share.share;
      }
    }
    double sum = 0;
    const double load = 1000 / c.spacing;
    for (const double k : kg) {
      EXPECT_NEAR(k / bins.width, load, 0.05 * load);
      sum += k;
    }
    EXPECT_NEAR(sum, 1000.0 * c.count, 1e-9 * 1000 * c.count);
    // The curve's frame takes in every bin, on the page.
    EXPECT_LE(page.curve.page_x(bins.lo), page.curve.page_x(masses.front().x));
    EXPECT_GE(page.curve.left, 0);
    EXPECT_LE(page.curve.left + page.curve.width, page.width);
  }
}

__extension__ typedef __int128 Exact;  // GCC's and Clang's 128-bit integers, on every target

// The moments of inertia about the centre of gravity against the exact sums, for masses whose
// coordinates are large beside their distances (where a sum of squares taken away from another
// would leave only rounding errors).
TEST(PlotScale, MomentsOfInertiaAreTheExactSums) {
  std::vector<plot::Mass> masses;
  masses.reserve(1000);
  std::uint64_t seed = 12345;
  const auto next = [&](std::uint64_t range) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::int64_t>((seed >> 33) % range);
  };
  for (int k = 0; k < 1000; ++k) {
    masses.push_back({1e8 + static_cast<double>(next(2000)), -3e7 + static_cast<double>(next(600)),
                      static_cast<double>(next(40)), static_cast<double>(1 + next(1000))});
  }
  // Per axis, the sum of m * (c - centre)^2 = (M * sum m c^2 - (sum m c)^2) / M, exact in
  // 128-bit integers for these whole numbers.
  Exact total = 0;
  std::array<Exact, 3> first{};
  std::array<Exact, 3> second{};
  for (const plot::Mass& m : masses) {
    const auto kg = static_cast<Exact>(m.kg);
    total += kg;
    const std::array<double, 3> at{m.x, m.y, m.z};
    for (std::size_t a = 0; a < 3; ++a) {
      const auto c = static_cast<Exact>(at[a]);
      first[a] += kg * c;
      second[a] += kg * c * c;
    }
  }
  std::array<long double, 3> spread_of{};
  for (std::size_t a = 0; a < 3; ++a) {
    spread_of[a] = static_cast<long double>(total * second[a] - first[a] * first[a]) /
                   static_cast<long double>(total);
  }
  const plot::Summary s = plot::summarize(masses);
  ASSERT_TRUE(s.inertia_defined);
  for (std::size_t a = 0; a < 3; ++a) {
    const long double exact = spread_of[(a + 1) % 3] + spread_of[(a + 2) % 3];
    EXPECT_NEAR(s.inertia[a], static_cast<double>(exact), 1e-12 * static_cast<double>(exact));
    EXPECT_NEAR(s.gyration[a], std::sqrt(static_cast<double>(exact / total)), 1e-9);
  }
}

TEST(PlotScale, CentreOfGravityAndCountsOfASmallSet) {
  const std::vector<plot::Mass> masses{{10, 20, 30, 1500}, {-5, 0, 4.5, 2000}, {1, 1, 1, -100}};
  const plot::Summary s = plot::summarize(masses);
  EXPECT_EQ(s.count, 3U);
  EXPECT_EQ(s.negative, 1U);
  EXPECT_DOUBLE_EQ(s.total_kg, 3400);
  ASSERT_TRUE(s.cog_defined);
  EXPECT_NEAR(s.cog[0], (15000.0 - 10000 - 100) / 3400, 1e-12);
  EXPECT_NEAR(s.cog[2], (45000.0 + 9000 - 100) / 3400, 1e-12);
  EXPECT_EQ(s.extent[1].lo, 0);
  EXPECT_EQ(s.extent[1].hi, 20);
  EXPECT_EQ(s.largest_kg, 2000);
  // Circle areas in proportion to the masses.
  const plot::Page page = plot::plan_page(s);
  const double r_large = plot::circle_radius(page, s, 2000);
  const double r_small = plot::circle_radius(page, s, 1500);
  EXPECT_NEAR(r_small * r_small / (r_large * r_large), 0.75, 1e-12);
  EXPECT_EQ(plot::circle_radius(page, s, 0), plot::kSmallestRadius);
}

}  // namespace
