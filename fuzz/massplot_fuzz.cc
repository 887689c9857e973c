// Fuzz target: arbitrary bytes read as a Map_Mass file by massplot's reader, then drawn.
//
// Byte 0 chooses the block size the bytes are fed in (1..256), so that lines straddle block
// boundaries in every way, and by its lowest bit whether the masses are named as the rows of a
// sheet; the rest is the file. Checked: records counted agree with what
// parse_record says of each line; every drawn number is finite and within kLargestDrawn;
// the page is finite; the picture shows each mass in each view once (a circle, or a marker at
// the frame's edge), has no control bytes, and its elements open and close in pairs.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "plot/picture.h"

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "massplot invariant broken: %s\n", what);
    std::abort();
  }
}

struct CountingNotice final : plot::RecordNotice {
  std::int64_t count = 0;
  void skipped(std::int64_t line_number, std::string_view reason) override {
    check(line_number > count && !reason.empty(), "notice line numbers rise");
    count = line_number;
  }
};

struct CheckingSink final : plot::LineSink {
  std::size_t circles = 0;  // of masses
  std::size_t outside = 0;  // markers of masses outside a view
  bool in_masses = false;
  long depth = 0;
  void line(std::string_view text) override {
    for (const char c : text) check(static_cast<unsigned char>(c) >= 0x20, "control byte");
    if (text.starts_with("<g class=\"masses\"") ||
        text.starts_with("<g class=\"negative-masses\"")) {
      in_masses = true;
    } else if (text == "</g>") {
      in_masses = false;
    }
    if (in_masses && text.starts_with("<circle")) ++circles;
    if (text.starts_with("<path d=") && text.find("<title>") != std::string_view::npos) ++outside;
    for (std::size_t at = 0; at + 1 < text.size(); ++at) {
      if (text[at] != '<') continue;
      if (text[at + 1] == '/') --depth;
      if (text[at + 1] == '?') continue;
      const std::size_t close = text.find('>', at);
      check(close != std::string_view::npos, "tag closed on its line");
      if (text[at + 1] != '/' && text[close - 1] != '/') ++depth;
    }
    check(depth >= 0, "closing tag without opening");
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t block = std::size_t{data[0]} + 1;
  const std::string_view file(reinterpret_cast<const char*>(data) + 1, size - 1);

  plot::MassList list;
  CountingNotice notice;
  plot::MassReader reader(list, notice);
  for (std::size_t at = 0; at < file.size(); at += block) {
    const std::string_view piece = file.substr(at, block);
    reader.feed({piece.data(), piece.size()});
  }
  reader.finish();

  // The same lines read one by one, as far as the reader keeps them, agree with the reader.
  // A line ends at LF, CR LF or a lone CR.
  std::int64_t records = 0;
  for (std::string_view rest = file; !rest.empty();) {
    const std::size_t end = rest.find_first_of("\r\n");
    const std::string_view line = rest.substr(0, std::min(end, plot::MassReader::kKeptLength));
    plot::Mass mass;
    if (plot::parse_record(line, mass) != plot::RecordKind::other) ++records;
    std::size_t used = end == std::string_view::npos ? rest.size() : end + 1;
    if (end != std::string_view::npos && rest[end] == '\r' && used < rest.size() &&
        rest[used] == '\n') {
      ++used;
    }
    rest.remove_prefix(used);
  }
  check(records == list.records, "records counted alike");
  check(list.records ==
            static_cast<std::int64_t>(list.masses.size()) + list.malformed + list.not_drawn,
        "every record counted once");
  for (const plot::Mass& m : list.masses) {
    for (const double v : {m.x, m.y, m.z, m.kg}) {
      check(std::isfinite(v) && std::fabs(v) <= plot::kLargestDrawn, "drawn numbers bounded");
    }
  }
  if (list.masses.empty()) return 0;

  const plot::Summary summary = plot::summarize(list.masses);
  const plot::Page page = plot::plan_page(summary);
  check(std::isfinite(page.scale) && page.scale > 0, "finite scale");
  check(std::isfinite(page.width) && std::isfinite(page.height), "finite page");
  CheckingSink sink;
  // Half the inputs are named as the rows of a sheet whose name holds markup characters.
  const bool rows = (data[0] & 1) != 0;
  const plot::PictureInput input{"fuzz.txt",
                                 rows ? "" : "fuzz.txt",
                                 "",
                                 &list,
                                 &summary,
                                 &page,
                                 rows,
                                 rows ? "Deck <&\"'>" : "",
                                 rows ? "'Deck <&\"'>'!C" : ""};
  plot::write_svg(input, sink);
  // A mass outside a view is a marker at its edge (markers pointing alike from one pixel
  // are one): each of them takes the place of a circle.
  if (!page.grid && summary.outside_count == 0) {
    check(sink.circles == 3 * list.masses.size() && sink.outside == 0, "a circle per mass");
  } else if (!page.grid) {
    check(sink.circles < 3 * list.masses.size() && sink.outside > 0, "markers for the others");
  }
  check(sink.depth == 0, "every element closed");
  return 0;
}
