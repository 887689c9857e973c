// kitdump's view of a text list: one console line per RDMIX call, with kel2fram's set-up of
// the reader (INIFII on unit 88), and the surprising readings told as kel2fram tells them.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "front/notice.h"
#include "kit/kit.h"
#include "kit/surprises.h"
#include "lineio/lineio.h"
#include "lineio/text_encoding.h"
#include "programs/dump.h"

namespace kitdump {
namespace {

constexpr std::int32_t kDataUnit = 88;
constexpr std::size_t kFields = 100;
constexpr std::int32_t kTextLength = 80;

std::string_view trim_right(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);
}

void append_number(std::string& out, const char* format, auto value) {
  std::array<char, 64> buf;
  const int n = std::snprintf(buf.data(), buf.size(), format, value);
  if (n > 0) out.append(buf.data(), static_cast<std::size_t>(n));
}

}  // namespace

front::DumpStatus dump_lines(const front::Program& program, const std::string& file_name) {
  std::int32_t ierr = 0;
  kit::OPNFIL(file_name.c_str(), kDataUnit, 2, 10, 1, 0, 0, -1, -6, ierr);
  if (ierr != 0) {
    // OPNFIL answers minus the open service's code, an errno value for files.
    front::notice(program, file_name + ": " + lineio::describe_error(-ierr));
    return front::DumpStatus::refused;
  }
  kit::INIFII(kDataUnit, kConsole, ierr);
  if (ierr != 0) {
    lineio::put_line(kConsole, "IERR=" + std::to_string(ierr));
    return front::DumpStatus::dumped;
  }

  static std::array<std::int32_t, kFields> itype{};
  static std::array<double, kFields> value{};
  static std::array<char, kFields * kTextLength> text_chars{};
  const kit::TextArray text(text_chars, kTextLength);
  static kit::SurpriseLog surprises;
  surprises.start(std::string(program.name) + ": ", file_name);
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
        front::notice(program, problem);
        return front::DumpStatus::failed;
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
  return front::DumpStatus::dumped;
}

}  // namespace kitdump
