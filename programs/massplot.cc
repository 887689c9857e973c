// massplot [OPTIONS] FILE [SVGFILE]: draws the masses of a Map_Mass file, or of a weight list
// or a spreadsheet read as kel2fram reads it, as an SVG picture. This front only wires
// arguments, files and exit statuses; the picture is plot/'s, the reading of a weight list or
// a spreadsheet the tool's (tool::read_for_picture), the safe replacement of the SVG file
// (temporary file, renamed when complete) lineio's.
// An existing SVGFILE is replaced only when it is a picture; "-" is standard output. Started
// in a console window of its own (a file dropped on it), it waits for Enter before the window
// closes, as kel2fram does.
#include "plot/picture.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lineio/lineio.h"
#include "os/arguments.h"
#include "os/platform.h"
#include "os/version.h"
#include "programs/weight_list.h"
#include "sheet/sheet.h"
#include "terminal/console.h"
#include "terminal/console_window.h"
#include "tool/command_line.h"
#include "tool/processing.h"

namespace {

constexpr std::int32_t kSvgUnit = 20;
using lineio::kConsoleOut;
constexpr int kDone = 0;
constexpr int kUsageError = 1;  // nothing written
constexpr int kRefused = 1;     // SVGFILE is not a picture: nothing written
constexpr int kFailed = 2;      // input unusable or the picture not written

// The help, in the layout of every program of the package.
constexpr std::string_view kUsage =
    "Usage: massplot [OPTIONS] FILE [SVGFILE]\n"
    "Draws the masses of FILE as an SVG picture: plan, elevation and section at one\n"
    "common scale, every mass a circle of area in proportion to its mass, the centre\n"
    "of gravity as a cross-hair, a weight curve along X, and the moments of inertia.\n"
    "FILE is a file of Map_Mass records (as kel2fram writes it), or a weight list,\n"
    "read as kel2fram reads it; the picture then names the lines of the list. A\n"
    "workbook (.xlsx, .ods) or a delimited table (.csv, .tsv) with a heading row is\n"
    "a weight list too, and the picture names its rows.\n"
    "SVGFILE defaults to FILE with .svg in place of its extension; - writes the\n"
    "picture to standard output. An existing SVGFILE is replaced only when it is an\n"
    "SVG picture. The options from -u to --sheet are kel2fram's, for a weight list;\n"
    "without them its defaults hold.\n"
    "\n"
    "Options:\n"
    "  -u, --unit kg|tonnes   the mass unit of the weight list (default tonnes)\n"
    "  -n, --spread N         the spread count (not drawn; checked as kel2fram does)\n"
    "  -x, --x-range MIN,MAX  leave out the masses whose X lies outside MIN to MAX\n"
    "  -y, --y-range MIN,MAX  the same for Y\n"
    "  -z, --z-range MIN,MAX  the same for Z\n"
    "      --table            read FILE as a delimited table with a heading row,\n"
    "                         whatever its name\n"
    "      --columns LIST     a table's mass, X, Y and Z columns, as\n"
    "                         mass=D,x=E,y=F,z=G (letters, numbers or headings)\n"
    "      --sheet NAME       the sheet of a workbook to draw (default: the first)\n"
    "  -h, --help             show this help and end\n"
    "  -V, --version          show the version and end\n"
    "\n"
    "Exit status: 0 picture written; 1 wrong arguments, or SVGFILE is a file that is\n"
    "not an SVG picture (it is left as it was); 2 FILE unreadable, a table whose\n"
    "columns are not found, or without masses, or the picture could not be written\n"
    "(an existing SVGFILE is then unchanged).\n"
    "\n"
    "The manual page massplot(1) (man massplot) and the KEL2FRAM manual tell more.\n"
    "The other programs: kel2fram converts a weight list into Map_Mass records,\n"
    "kitdump shows how each line of a weight list is read.\n";

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
  if (sheet::starts_as_zip(text)) {
    return "is a workbook or another zip container, not an SVG picture; it is not overwritten";
  }
  return "is not an SVG picture; it is not overwritten";
}

// The last component of a file's name, as its lines are named in the picture.
std::string_view base_name(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

int write_picture(const std::string& input, const std::string& svg,
                  const tool::CommandLine& command) {
  plot::MassList list;
  massplot::Notices notice(input);
  tool::RunSettings settings = tool::settings_of_answers(command.answers);
  settings.table = command.settings.table;
  settings.columns = command.settings.columns;
  settings.sheet_name = command.settings.sheet_name;
  settings.skip_rows = command.settings.skip_rows;
  // A workbook, or delimited text with headings, is drawn by its rows.
  tool::PictureList read = tool::read_for_picture(input, settings, "massplot: ", true);
  if (!read.why.empty()) return fail(input, read.why);
  const bool rows = read.read.table;
  bool records = false;
  if (!rows) {
    const int error = plot::read_mass_file(input, list, notice);
    if (error != 0) {
      return fail(input, std::string("cannot read: ") + lineio::describe_error(error));
    }
    notice.finish();
    records = list.records > 0;
  }
  // A file without a Map_Mass line is taken for a weight list.
  if (!rows && !records) {
    read = tool::read_for_picture(input, settings, "massplot: ", false);
    if (!read.why.empty()) return fail(input, read.why);
  }
  if (!records) {
    if (rows) notice.name_rows(read.read.sheet);
    massplot::add_masses(read.masses, list, notice);
  }
  if (records) {
    if (massplot::list_options_given(command.answers)) {
      std::fprintf(stderr,
                   "massplot: %s: a file of Map_Mass records: the unit, spread and range options "
                   "are for weight lists, and are not used\n",
                   input.c_str());
    }
    if (list.masses.empty()) return fail(input, "no Map_Mass record that can be drawn");
  } else {
    notice.finish();
    if (list.masses.empty()) return fail(input, "no mass that can be drawn");
  }
  plot::PictureInput picture{};
  picture.file_name = input;
  if (records) picture.record_file = base_name(input);
  picture.rows = rows;
  picture.sheet = read.read.sheet;
  picture.mass_cells = read.mass_cells;
  picture.source = read.source;
  picture.list = &list;

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
  const auto complete = [](plot::PictureInput in, const plot::Summary& s, const plot::Page& p) {
    in.summary = &s;
    in.page = &p;
    return in;
  };
  if (to_standard_output) {
    if (os::standard_output_was_closed())
      return fail(svg, "not written: standard output is closed");
    try {
      UnitSink sink(kConsoleOut);
      plot::write_svg(complete(picture, summary, page), sink);
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
    plot::write_svg(complete(picture, summary, page), sink);
    lineio::close_unit(kSvgUnit);
  } catch (const lineio::TransferFailure& failure) {
    lineio::discard_unit(kSvgUnit);
    return fail(svg, std::string("not written: ") + trimmed(failure.what()));
  }
  return kDone;
}

int run(int argc, char** argv) {
  // Binding the console first puts its streams in binary mode (the usage text keeps its line
  // ends on Windows) and installs the interrupt handling that removes a pending temporary
  // file; standard output is not used otherwise.
  terminal::bind_standard_console();
  const std::vector<std::string> arguments = os::program_arguments(argc, argv);
  // The options and files as kel2fram reads them: the same options, checked alike.
  const tool::CommandLine command = tool::read_command_line(arguments);
  const std::optional<std::string>& file = command.answers[tool::Question::input];
  const std::optional<std::string>& picture = command.answers[tool::Question::output];
  switch (command.action) {
    case tool::CommandLine::Action::help:
      std::fputs(kUsage.data(), stdout);
      return std::fflush(stdout) == 0 ? kDone : kFailed;
    case tool::CommandLine::Action::version:
      std::printf("massplot %.*s\n", static_cast<int>(lineio::kPackageVersion.size()),
                  lineio::kPackageVersion.data());
      return std::fflush(stdout) == 0 ? kDone : kFailed;
    case tool::CommandLine::Action::usage_error:
      // Too many files is said by the usage itself; a bad option's value in kel2fram's words.
      if (!command.error.starts_with("one weight list and one output file at most")) {
        std::fprintf(stderr, "massplot: %s\n", command.error.c_str());
      }
      std::fputs(kUsage.data(), stderr);
      return kUsageError;
    case tool::CommandLine::Action::run:
      break;
  }
  if (!file || file->empty() || (picture && picture->empty()) || command.settings.strict) {
    std::fputs(kUsage.data(), stderr);
    return kUsageError;
  }
  const std::string& input = *file;
  try {
    return write_picture(input, picture ? *picture : default_svg_name(input), command);
  } catch (const std::bad_alloc&) {
    // A picture being written is dropped: an existing SVGFILE keeps its former contents.
    lineio::abandon_run();
    return fail(input, "not enough memory");
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int status = run(argc, argv);
  // A window that closes with the program would take the error, or the last notice, with it.
  if (terminal::console_window_of_its_own()) terminal::wait_before_window_closes();
  return status;
}
