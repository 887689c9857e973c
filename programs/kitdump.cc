// kitdump FILE: the developers' window into the reader. Reads FILE with the tool's own
// set-up (INIFII on unit 88) and writes, per RDMIX call, one console line: the field count
// and, per field, " <type>:<value %.17g>:<text without trailing blanks>"; "IERR=<n>" when a
// call reports a failure. Stops after the line "-1" at the end of the data.
// "kitdump --help" prints the usage on standard output, "kitdump --version" its version; a file
// that cannot be opened gives one line on standard error naming the file and the reason, and
// status 1. Readings that differ from what a line looks like are told on standard error, as
// kel2fram tells them.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
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
#include "terminal/console.h"

namespace {

constexpr std::int32_t kDataUnit = 88;
constexpr std::int32_t kConsole = lineio::kConsoleOut;
constexpr std::size_t kFields = 100;
constexpr std::int32_t kTextLength = 80;

constexpr const char* kUsage =
    "usage: kitdump FILE\n"
    "       kitdump --help | --version\n"
    "Reads the weight list FILE as kel2fram does and prints, for each line read (comment\n"
    "and blank lines are skipped), the number of fields and then each field as\n"
    "TYPE:VALUE:TEXT, where TYPE is 1 (whole number), 2 (real number or expression) or\n"
    "3 (word, which rejects the line). A last line -1 marks the end of the list.\n"
    "Fields that read otherwise than they look (an expression read left to right, a\n"
    "division by zero, a decimal comma, characters beyond column 132, more than four\n"
    "numbers) are told on standard error, as kel2fram tells them.\n";

std::string_view trim_right(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);
}

void append_number(std::string& out, const char* format, auto value) {
  std::array<char, 64> buf;
  const int n = std::snprintf(buf.data(), buf.size(), format, value);
  if (n > 0) out.append(buf.data(), static_cast<std::size_t>(n));
}

int dump(const std::string& file_name) {
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
    if (npar == -1) break;
    if (npar > 0) surprises.check_line(npar, itype, value);
  }
  surprises.finish();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  terminal::bind_standard_console();
  const std::vector<std::string> arguments = os::program_arguments(argc, argv);
  // A view of the argument itself, not of a temporary copy the conditional would make.
  const std::string_view argument =
      arguments.size() == 1 ? std::string_view(arguments[0]) : std::string_view();
  if (argument == "--help" || argument == "-h") {
    // Help that could not be written (a full disk, a closed stream) is a failed write.
    return std::fputs(kUsage, stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 2;
  }
  if (argument == "--version") {
    std::printf("kitdump %.*s\n", static_cast<int>(lineio::kPackageVersion.size()),
                lineio::kPackageVersion.data());
    return std::fflush(stdout) == 0 ? 0 : 2;
  }
  if (arguments.size() != 1) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  int status = 0;
  try {
    const int run_status = lineio::guarded_run([&] { status = dump(arguments[0]); });
    return run_status != 0 ? run_status : status;
  } catch (const std::bad_alloc&) {
    lineio::abandon_run();
    std::fprintf(stderr, "kitdump: %s: not enough memory\n", arguments[0].c_str());
    return lineio::kFailedTransferStatus;
  }
}
