// massplot OUTFILE [SVGFILE]: draws the masses of a Map_Mass file as an SVG picture.
// This front only wires arguments, files and exit statuses; the picture is plot/'s, the
// safe replacement of the SVG file (temporary file, renamed when complete) is lineio's.
// An existing SVGFILE is replaced only when it is a picture; "-" is standard output.
#include "plot/massplot.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lineio/lineio.h"
#include "os/arguments.h"
#include "os/platform.h"
#include "os/version.h"
#include "terminal/console.h"

namespace {

constexpr std::int32_t kSvgUnit = 20;
using lineio::kConsoleOut;
constexpr int kDone = 0;
constexpr int kUsageError = 1;  // nothing written
constexpr int kRefused = 1;     // SVGFILE is not a picture: nothing written
constexpr int kFailed = 2;      // input unusable or the picture not written
constexpr std::int64_t kMostNotices = 100;

constexpr std::string_view kUsage =
    "Usage: massplot OUTFILE [SVGFILE]\n"
    "       massplot --help | --version\n"
    "Draws the Map_Mass records of OUTFILE (a file written by kel2fram, or any file of such\n"
    "records) as an SVG picture: plan, elevation and section at one common scale, every mass\n"
    "a circle of area in proportion to its mass, the centre of gravity as a cross-hair.\n"
    "SVGFILE defaults to OUTFILE with .svg in place of its extension; - writes the picture\n"
    "to standard output. An existing SVGFILE is replaced only when it is an SVG picture.\n"
    "Exit status: 0 picture written; 1 wrong arguments, or SVGFILE is a file that is not\n"
    "an SVG picture (it is left as it was); 2 OUTFILE unreadable or without records, or the\n"
    "picture could not be written (an existing SVGFILE is then unchanged).\n";

// Skipped records on standard error, one line each; a flood of them is cut short.
class StderrNotice final : public plot::RecordNotice {
 public:
  explicit StderrNotice(const std::string& file) : file_(file) {}
  void skipped(std::int64_t line_number, std::string_view reason) override {
    if (++count_ > kMostNotices) return;
    std::fprintf(stderr, "massplot: %s:%lld: %.*s\n", file_.c_str(),
                 static_cast<long long>(line_number), static_cast<int>(reason.size()),
                 reason.data());
  }
  void finish() const {
    if (count_ > kMostNotices) {
      std::fprintf(stderr, "massplot: %s: %lld more records skipped\n", file_.c_str(),
                   static_cast<long long>(count_ - kMostNotices));
    }
  }

 private:
  const std::string& file_;
  std::int64_t count_ = 0;
};

class UnitSink final : public plot::LineSink {
 public:
  explicit UnitSink(std::int32_t unit) : unit_(unit) {}
  void line(std::string_view text) override { lineio::put_line(unit_, text); }

 private:
  std::int32_t unit_;
};

// OUTFILE with .svg in place of the extension of its last name component.
std::string default_svg_name(const std::string& input) {
  const std::size_t name_start = input.find_last_of("/\\") + 1;  // npos + 1 == 0
  const std::size_t dot = input.rfind('.');
  const bool has_extension = dot != std::string::npos && dot > name_start;
  return (has_extension ? input.substr(0, dot) : input) + ".svg";
}

// A failed transfer's line without its leading blank.
std::string trimmed(std::string_view what) {
  what.remove_prefix(std::min(what.find_first_not_of(' '), what.size()));
  return std::string(what);
}

int fail(const std::string& file, std::string_view reason) {
  std::fprintf(stderr, "massplot: %s: %.*s\n", file.c_str(), static_cast<int>(reason.size()),
               reason.data());
  return kFailed;
}

// Whether a text begins as an SVG picture: after an XML declaration, processing
// instructions, comments and a document type, its first (root) element is svg.
bool starts_as_svg(std::string_view text) {
  for (;;) {
    text.remove_prefix(std::min(text.find_first_not_of(" \t\r\n"), text.size()));
    std::string_view end;
    if (text.starts_with("<?")) {
      end = "?>";
    } else if (text.starts_with("<!--")) {
      end = "-->";
    } else if (text.starts_with("<!")) {
      end = ">";
    } else {
      break;
    }
    const std::size_t at = text.find(end, 2);
    if (at == std::string_view::npos) return false;
    text.remove_prefix(at + end.size());
  }
  if (!text.starts_with("<svg") || text.size() < 5) return false;
  const char after = text[4];
  return after == ' ' || after == '\t' || after == '\r' || after == '\n' || after == '>' ||
         after == '/';
}

// Why an existing file may not be replaced by a picture; empty when it may: it is no
// regular file (a device, a FIFO, or none: the open decides), it is empty, or its root
// element is svg (within the first 4 KB): an HTML page or an XML file that only holds an
// svg element, or names one in a comment, is not a picture. A list of records named by mistake (as
// a shell pattern can name two) is never drawn over.
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
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  text.remove_prefix(std::min(text.find_first_not_of(" \t\r\n"), text.size()));
  if (starts_as_svg(text)) return {};
  return "is not an SVG picture; it is not overwritten";
}

int write_picture(const std::string& input, const std::string& svg) {
  plot::MassList list;
  StderrNotice notice(input);
  const int error = plot::read_mass_file(input, list, notice);
  if (error != 0) return fail(input, std::string("cannot read: ") + lineio::describe_error(error));
  notice.finish();
  if (list.records == 0) return fail(input, "no Map_Mass record");
  if (list.masses.empty()) return fail(input, "no Map_Mass record that can be drawn");

  const bool to_standard_output = svg == "-";
  if (!to_standard_output && os::same_file(input, svg)) {
    return fail(svg, "is the file being drawn; it is not overwritten");
  }
  if (const std::string refusal = to_standard_output ? "" : why_not_replaced(svg);
      !refusal.empty()) {
    fail(svg, refusal);
    return kRefused;
  }
  const plot::Summary summary = plot::summarize(list.masses);
  const plot::Page page = plot::plan_page(summary);
  if (to_standard_output) {
    if (os::standard_output_was_closed())
      return fail(svg, "not written: standard output is closed");
    try {
      UnitSink sink(kConsoleOut);
      plot::write_svg({input, &list, &summary, &page}, sink);
      lineio::flush_console();
    } catch (const lineio::TransferFailure& failure) {
      return fail(svg, std::string("not written: ") + trimmed(failure.what()));
    }
    return kDone;
  }

  // The picture goes to a temporary file beside SVGFILE and takes its name only when it is
  // complete: a failed write leaves SVGFILE as it was, or absent.
  lineio::OpenRequest request;
  request.file = svg;
  request.status = "UNKNOWN";
  request.access = "SEQUENTIAL";
  request.form = "FORMATTED  ";
  request.blank = "NULL";
  request.share = "DENYNONE";
  const int open_error = lineio::open_unit(kSvgUnit, request);
  if (open_error != 0)
    return fail(svg, std::string("cannot write: ") + lineio::describe_error(open_error));
  try {
    UnitSink sink(kSvgUnit);
    plot::write_svg({input, &list, &summary, &page}, sink);
    lineio::close_unit(kSvgUnit);
  } catch (const lineio::TransferFailure& failure) {
    lineio::discard_unit(kSvgUnit);
    return fail(svg, std::string("not written: ") + trimmed(failure.what()));
  }
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  // Binding the console first puts its streams in binary mode (the usage text keeps its line
  // ends on Windows) and installs the interrupt handling that removes a pending temporary
  // file; standard output is not used otherwise.
  terminal::bind_standard_console();
  const std::vector<std::string> arguments = os::program_arguments(argc, argv);
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    std::fputs(kUsage.data(), stdout);
    return std::fflush(stdout) == 0 ? kDone : kFailed;
  }
  if (arguments.size() == 1 && arguments[0] == "--version") {
    std::printf("massplot %.*s\n", static_cast<int>(lineio::kPackageVersion.size()),
                lineio::kPackageVersion.data());
    return std::fflush(stdout) == 0 ? kDone : kFailed;
  }
  if (arguments.empty() || arguments.size() > 2 || arguments[0].empty() ||
      (arguments.size() == 2 && arguments[1].empty())) {
    std::fputs(kUsage.data(), stderr);
    return kUsageError;
  }
  const std::string& input = arguments[0];
  try {
    return write_picture(input, arguments.size() == 2 ? arguments[1] : default_svg_name(input));
  } catch (const std::bad_alloc&) {
    // A picture being written is dropped: an existing SVGFILE keeps its former contents.
    lineio::abandon_run();
    return fail(input, "not enough memory");
  }
}
