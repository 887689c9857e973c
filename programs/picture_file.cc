// massplot's output: an existing file replaced only when it is a picture, and the picture
// written whole or not at all, through lineio's units (a temporary file beside SVGFILE,
// renamed when complete), or to standard output.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "lineio/lineio.h"
#include "os/platform.h"
#include "plot/picture.h"
#include "programs/picture.h"
#include "sheet/sheet.h"

namespace massplot {
namespace {

constexpr std::int32_t kSvgUnit = 20;

class UnitSink final : public plot::LineSink {
 public:
  explicit UnitSink(std::int32_t unit) : unit_(unit) {}
  void line(std::string_view text) override { lineio::put_line(unit_, text); }

 private:
  std::int32_t unit_;
};

// A failed transfer's line without its leading blank.
std::string trimmed(std::string_view what) {
  what.remove_prefix(std::min(what.find_first_not_of(' '), what.size()));
  return std::string(what);
}

}  // namespace

// Why an existing file may not be replaced by a picture; empty when it may: it is no
// regular file (a device, a FIFO, or none: the open decides), it is empty, or its root
// element is svg (within the first 4 KB): an HTML page or an XML file that only holds an
// svg element, or names one in a comment, is not a picture. A list of records named by
// mistake (as a shell pattern can name two) is never drawn over.
std::string why_not_replaced(const std::string& svg) {
  os::Opened file;
  const int code = os::open_existing(svg, false, file);
  if (code == EACCES) {
    return std::string("cannot be read (") + std::strerror(code) +
           ") to tell whether it is an SVG picture; it is not overwritten";
  }
  if (code != 0) return {};
  std::array<char, 4096> head{};
  std::size_t got = 0;
  while (file.kind == os::Kind::regular && got < head.size()) {
    const long n = os::read(file.handle, std::span(head).subspan(got));
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  os::close(file.handle);
  if (file.kind != os::Kind::regular || got == 0) return {};
  std::string_view text(head.data(), got);
  if (plot::starts_as_svg(text)) return {};
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  text.remove_prefix(std::min(text.find_first_not_of(" \t\r\n"), text.size()));
  if (sheet::starts_as_zip(text)) {
    return "is a workbook or another zip container, not an SVG picture; it is not overwritten";
  }
  return "is not an SVG picture; it is not overwritten";
}

std::string write_svg_file(const std::string& svg, const plot::PictureInput& picture) {
  if (svg == "-") {
    if (os::standard_output_was_closed()) return "not written: standard output is closed";
    try {
      UnitSink sink(lineio::kConsoleOut);
      plot::write_svg(picture, sink);
      lineio::flush_console();
    } catch (const lineio::TransferFailure& failure) {
      return "not written: " + trimmed(failure.what());
    }
    return {};
  }
  lineio::OpenRequest request;
  request.file = svg;
  request.status = "UNKNOWN";
  request.access = "SEQUENTIAL";
  request.form = "FORMATTED  ";
  request.blank = "NULL";
  request.share = "DENYNONE";
  if (const int error = lineio::open_unit(kSvgUnit, request); error != 0) {
    return "cannot write: " + lineio::describe_error(error);
  }
  try {
    UnitSink sink(kSvgUnit);
    plot::write_svg(picture, sink);
    lineio::close_unit(kSvgUnit);
  } catch (const lineio::TransferFailure& failure) {
    lineio::discard_unit(kSvgUnit);
    return "not written: " + trimmed(failure.what());
  }
  return {};
}

}  // namespace massplot
