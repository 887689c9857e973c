// kitdump FILE: the developers' window into the reader. Reads FILE with the tool's own
// set-up (INIFII on unit 88) and writes, per RDMIX call, one console line: the field count
// and, per field, " <type>:<value %.17g>:<text without trailing blanks>"; "IERR=<n>" when a
// call reports a failure. Stops after the line "-1" at the end of the data.
// "kitdump --help" (or "/?" on Windows) prints the usage on standard output, "kitdump --version"
// its version; a file that cannot be opened gives one line on standard error naming the file
// and the reason, and status 1. Readings that differ from what a line looks like are told on
// standard error, as kel2fram tells them. Started in a console window of its own (a file
// dropped on it), it waits for Enter before the window closes, as kel2fram does.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kit/kit.h"
#include "kit/surprises.h"
#include "lineio/lineio.h"
#include "lineio/text_encoding.h"
#include "os/arguments.h"
#include "os/version.h"
#include "sheet/sheet.h"
#include "terminal/console.h"
#include "terminal/console_window.h"

namespace {

constexpr std::int32_t kDataUnit = 88;
constexpr std::int32_t kConsole = lineio::kConsoleOut;
constexpr std::size_t kFields = 100;
constexpr std::int32_t kTextLength = 80;

// The help, in the layout of every program of the package.
constexpr const char* kUsage =
    "Usage: kitdump [OPTIONS] FILE\n"
    "Reads the weight list FILE as kel2fram does and prints, for each line read\n"
    "(comment and blank lines are skipped), the number of fields and then each field\n"
    "as TYPE:VALUE:TEXT, where TYPE is 1 (whole number), 2 (real number or\n"
    "expression) or 3 (word, which rejects the line). A last line -1 marks the end\n"
    "of the list. Fields that read otherwise than they look (an expression read left\n"
    "to right, a division by zero, a decimal comma, characters beyond column 132,\n"
    "more than four numbers, an empty cell between two tabs, two numbers joined by a\n"
    "minus, SIN or COS of degrees, item numbers in front), and why a line is\n"
    "rejected, are told on standard error, as kel2fram tells them.\n"
    "A table (a .xlsx or .ods workbook, a .csv or .tsv file with headings) is shown\n"
    "as kel2fram reads it: a line naming the heading row and each role's column,\n"
    "then per row its number and each role's cell and value, or why it is left out.\n"
    "\n"
    "Options:\n"
    "      --table            read FILE as a delimited table whatever its name\n"
    "      --columns=LIST     the columns of mass, X, Y, Z (mass=D,x=E,y=F,z=G)\n"
    "      --sheet=NAME       the sheet of a workbook to read (default: the first\n"
    "                         that names the columns)\n"
    "      --skip-rows=LIST   rows of a table to leave out (7,11-13)\n"
    "  -h, --help             show this help and end\n"
    "  -V, --version          show the version and end\n"
    "\n"
    "Exit status: 0 the list was read to its end; 1 the file cannot be opened, a\n"
    "table without headings, or wrong arguments; 2 the console cannot be written,\n"
    "not enough memory, UTF-16 text that cannot be read (no byte-order mark, a\n"
    "broken pair), or a damaged workbook.\n"
    "\n"
    "The manual page kitdump(1) (man kitdump) and the KEL2FRAM manual tell more. The\n"
    "other programs: kel2fram converts a weight list into Map_Mass records, massplot\n"
    "draws them as an SVG picture.\n";

std::string_view trim_right(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);
}

void append_number(std::string& out, const char* format, auto value) {
  std::array<char, 64> buf;
  const int n = std::snprintf(buf.data(), buf.size(), format, value);
  if (n > 0) out.append(buf.data(), static_cast<std::size_t>(n));
}

std::string column_letters(std::uint32_t column) {
  return sheet::column_reference({}, column);
}

// The rows of a table, one console line each.
class TableDump final : public sheet::RowSink {
 public:
  explicit TableDump(std::string_view file) : file_(lineio::escape_controls(file)) {}
  bool heading(const sheet::Heading& h) override {
    heading_ = h;
    std::string line = "table";
    // Names and headings come from the file: a control character in them is shown escaped.
    if (!h.sheet.empty()) line += " sheet \"" + lineio::escape_controls(h.sheet) + "\"";
    line += h.row > 0 ? ", headings in row " + std::to_string(h.row) : ", no heading row";
    line += ":";
    for (std::size_t r = 0; r < sheet::kRoles; ++r) {
      line += std::string(r == 0 ? " " : ", ") + std::string(kRole[r]);
      switch (h.source[r]) {
        case sheet::RoleSource::constant:
          line += " = ";
          append_number(line, "%.17g", h.constant[r]);
          line += " m (constant)";
          continue;
        case sheet::RoleSource::product:
          line += " " + column_letters(h.quantity_column) + " \"" +
                  lineio::escape_controls(h.quantity_text) + "\" times";
          break;
        case sheet::RoleSource::centre:
          line += " (centre)";
          break;
        case sheet::RoleSource::column:
          break;
      }
      line += " " + column_letters(h.column[r]);
      if (!h.text[r].empty()) line += " \"" + lineio::escape_controls(h.text[r]) + "\"";
    }
    if (h.mass_unit != sheet::MassUnit::none) {
      line += h.mass_unit == sheet::MassUnit::kg ? "; mass in kg" : "; mass in tonnes";
    } else if (h.mass_factor > 0.0) {
      line += "; mass in " + h.mass_unit_name + ", converted to kg";
    }
    if (h.unit_column) line += "; a unit column";
    if (h.unit_row > 0) line += "; units in row " + std::to_string(h.unit_row);
    lineio::put_line(kConsole, line);
    return true;
  }
  void row(const sheet::Row& r) override {
    std::string line = std::to_string(r.number);
    if (r.hidden) line += " hidden";
    switch (r.outcome) {
      case sheet::Row::Outcome::item:
        for (std::size_t k = 0; k < sheet::kRoles; ++k) {
          line += " " + std::string(kRole[k]);
          if (heading_.source[k] == sheet::RoleSource::constant) {
            line += "=";
            append_number(line, "%.17g", r.value[k]);
            line += " (constant)";
            continue;
          }
          line += " " + column_letters(heading_.column[k]) + std::to_string(r.number) + "=";
          append_number(line, "%.17g", r.value[k]);
          if (heading_.source[k] == sheet::RoleSource::product) {
            line +=
                " (" + column_letters(heading_.quantity_column) + std::to_string(r.number) + " ";
            append_number(line, "%.17g", r.quantity);
            line += " times unit mass)";
          } else if (heading_.source[k] == sheet::RoleSource::centre) {
            line += " (centre)";
          }
        }
        if (r.mass_factor > 0.0) line += r.mass_factor == 1.0 ? " (kg)" : " (tonnes)";
        break;
      case sheet::Row::Outcome::skipped:
        line += " skipped: --skip-rows";
        break;
      case sheet::Row::Outcome::illegal:
        line += " illegal " + std::string(r.cell) + ": " + std::string(r.reason);
        break;
      case sheet::Row::Outcome::too_few:
        line += " too-few " + std::string(r.cell) + ": " + std::string(r.reason);
        break;
      case sheet::Row::Outcome::subtotal:
        line += " subtotal " + std::string(r.cell) + ": " + std::string(r.reason);
        break;
    }
    lineio::put_line(kConsole, line);
  }
  void note(std::string_view text) override {
    std::fprintf(stderr, "kitdump: %.*s: %.*s\n", static_cast<int>(file_.size()), file_.data(),
                 static_cast<int>(text.size()), text.data());
  }
  // What a rule decided that may not be what the table means: a line of the dump, as the
  // rows are.
  void warning(std::string_view cell, std::string_view text) override {
    lineio::put_line(kConsole, "warning " + std::string(cell) + ": " + std::string(text));
  }

 private:
  static constexpr std::array<std::string_view, sheet::kRoles> kRole = {"mass", "X", "Y", "Z"};
  std::string file_;
  sheet::Heading heading_;
};

// A table's rows as kel2fram reads them; answers nothing when the file is a text list.
std::optional<int> dump_table(const std::string& file_name, const sheet::Options& options) {
  int error = 0;
  const std::unique_ptr<sheet::Source> source = sheet::open_file(file_name, error);
  if (!source) return std::nullopt;
  const sheet::Form form = sheet::form_of(*source, file_name, options.table);
  if (form == sheet::Form::text_list) return std::nullopt;
  TableDump dump(file_name);
  const sheet::Outcome outcome = sheet::read_table(*source, form, options, dump);
  if (outcome.no_table) return std::nullopt;
  if (!outcome.read) {
    std::fprintf(stderr, "kitdump: %s: %s\n", lineio::escape_controls(file_name).c_str(),
                 form == sheet::Form::other_zip ? "is a zip archive but no workbook"
                                                : outcome.reason.c_str());
    return outcome.unreadable ? lineio::kFailedTransferStatus : 1;
  }
  lineio::put_line(kConsole, "-1");
  return 0;
}

int dump(const std::string& file_name, const sheet::Options& options) {
  if (const std::optional<int> status = dump_table(file_name, options)) return *status;
  const char* file = file_name.c_str();
  std::int32_t ierr = 0;
  kit::OPNFIL(file, kDataUnit, 2, 10, 1, 0, 0, -1, -6, ierr);
  if (ierr != 0) {
    // OPNFIL answers minus the open service's code, an errno value for files.
    std::fprintf(stderr, "kitdump: %s: %s\n", file, lineio::describe_error(-ierr).c_str());
    return 1;
  }
  kit::INIFII(kDataUnit, kConsole, ierr);
  if (ierr != 0) {
    lineio::put_line(kConsole, "IERR=" + std::to_string(ierr));
    return 0;
  }

  static std::array<std::int32_t, kFields> itype{};
  static std::array<double, kFields> value{};
  static std::array<char, kFields * kTextLength> text_chars{};
  const kit::TextArray text(text_chars, kTextLength);
  static kit::SurpriseLog surprises;
  surprises.start("kitdump: ", file_name);
  std::string line;
  line.reserve(kFields * (kTextLength + 32));
  std::int32_t npar = 0;
  while (ierr == 0) {
    kit::RDMIX(npar, itype, value, text, kDataUnit, kConsole, ierr);
    line.clear();
    if (ierr != 0) {
      line = "IERR=";
      append_number(line, "%d", ierr);
      lineio::put_line(kConsole, line);
      // A list in an encoding that cannot be read is refused, not dumped in part.
      if (const std::string problem = lineio::text_problem(kDataUnit); !problem.empty()) {
        std::fprintf(stderr, "kitdump: %s\n", problem.c_str());
        return lineio::kFailedTransferStatus;
      }
      break;
    }
    append_number(line, "%d", npar);
    for (std::int32_t n = 0; n < npar; ++n) {
      const auto k = static_cast<std::size_t>(n);
      line += ' ';
      append_number(line, "%d", itype[k]);
      line += ':';
      append_number(line, "%.17g", value[k]);
      line += ':';
      const auto element = text.at(k);
      // A control character in a word is shown escaped: never a terminal command.
      line += lineio::escape_controls(trim_right(std::string_view(element.data(), element.size())));
    }
    lineio::put_line(kConsole, line);
    if (npar == -1) {
      surprises.check_list_end();
      break;
    }
    if (npar <= 0) continue;
    const auto fields = static_cast<std::ptrdiff_t>(npar);
    if (npar < 4 || std::find(itype.begin(), itype.begin() + fields, 3) != itype.begin() + fields) {
      surprises.explain_refused_line(npar, itype);  // a line kel2fram rejects
    } else {
      surprises.check_line(npar, itype, value);
    }
  }
  surprises.finish();
  return 0;
}

int run(int argc, char** argv) {
  terminal::bind_standard_console();
  const std::vector<std::string> arguments = os::program_arguments(argc, argv);
  // A view of the argument itself, not of a temporary copy the conditional would make.
  // Options of the table view first, then the file.
  sheet::Options options;
  std::size_t first = 0;
  for (; first < arguments.size(); ++first) {
    const std::string_view a = arguments[first];
    if (a == "--table") {
      options.table = true;
    } else if (a.starts_with("--columns=")) {
      options.columns = std::string(a.substr(10));
      if (const std::string why = sheet::check_columns(options.columns); !why.empty()) {
        std::fprintf(stderr, "kitdump: --columns: %s\n", why.c_str());
        return 1;
      }
    } else if (a.starts_with("--sheet=")) {
      options.sheet_name = std::string(a.substr(8));
    } else if (a.starts_with("--skip-rows=")) {
      options.skip_rows = std::string(a.substr(12));
      if (const std::string why = sheet::check_skip_rows(options.skip_rows); !why.empty()) {
        std::fprintf(stderr, "kitdump: --skip-rows: %s\n", why.c_str());
        return 1;
      }
    } else {
      break;
    }
  }
  const std::string_view argument =
      arguments.size() == first + 1 ? std::string_view(arguments[first]) : std::string_view();
  if (argument == "--help" || argument == "-h" || terminal::is_system_help_switch(argument)) {
    // Help that could not be written (a full disk, a closed stream) is a failed write.
    return std::fputs(kUsage, stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 2;
  }
  if (argument == "--version" || argument == "-V") {
    std::printf("kitdump %.*s\n", static_cast<int>(lineio::kPackageVersion.size()),
                lineio::kPackageVersion.data());
    return std::fflush(stdout) == 0 ? 0 : 2;
  }
  if (arguments.size() != first + 1) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  int status = 0;
  try {
    const int run_status = lineio::guarded_run([&] { status = dump(arguments[first], options); });
    return run_status != 0 ? run_status : status;
  } catch (const std::bad_alloc&) {
    lineio::abandon_run();
    std::fprintf(stderr, "kitdump: %s: not enough memory\n", arguments[first].c_str());
    return lineio::kFailedTransferStatus;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int status = run(argc, argv);
  // A window that closes with the program would take the dump, or the error, with it.
  if (terminal::console_window_of_its_own()) terminal::wait_before_window_closes();
  return status;
}
