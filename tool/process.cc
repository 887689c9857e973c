// A text list: every line through the mixed-line reader, translated into the intake: a line
// with a text field, or with fewer than four fields, rejected; any other kept or skipped by
// its first four numbers.
#include <algorithm>
#include <array>

#include "kit/kit.h"
#include "tool/list_readers.h"
#include "tool/processing.h"
#include "tool/warnings.h"

namespace tool {
namespace {

constexpr std::int32_t kTextField = 3;
constexpr std::int32_t kLineCount = 9;  // GETPAR: records read, the line number an editor shows

// The line fields, reserved once.
std::array<std::int32_t, kFieldCount> field_type;
std::array<double, kFieldCount> field_value;
std::array<char, kFieldCount * kFieldTextLength> field_text;

}  // namespace

Processed process_text_list(Intake& intake, bool quiet) {
  std::int32_t ierr = 0;
  kit::INIFII(kInputUnit, quiet ? -1 : kConsoleOut, ierr);
  if (ierr != 0) return Processed::reader_failed;

  intake.write_notice();
  kit::SurpriseLog& log = warnings().reader();
  const kit::TextArray texts(field_text, kFieldTextLength);
  const std::int32_t error_unit = quiet ? -1 : kOutputUnit;
  std::int32_t npar = 0;
  for (;;) {
    kit::RDMIX(npar, field_type, field_value, texts, kInputUnit, error_unit, ierr);
    if (ierr != 0) return Processed::reader_failed;  // the reader has reported it
    if (npar < 0) {                                  // end of the data
      log.check_list_end();
      break;
    }
    if (npar == 0) continue;  // nothing usable on the line; it is not counted
    intake.count_item();

    const auto used = static_cast<std::size_t>(npar);
    // A line of plain numbers holds no text field.
    if (!kit::RDSTATE.LPLAIN &&
        std::any_of(field_type.begin(), field_type.begin() + static_cast<std::ptrdiff_t>(used),
                    [](std::int32_t type) { return type == kTextField; })) {
      intake.reject(Rejection::illegal, npar, intake.totals().lines, kit::GETPAR(kLineCount));
      log.explain_refused_line(npar, field_type);
      continue;
    }
    if (npar < 4) {
      intake.reject(Rejection::too_few, npar, intake.totals().lines, kit::GETPAR(kLineCount));
      log.explain_refused_line(npar, field_type);
      continue;
    }
    log.check_line(npar, field_type, field_value);
    intake.take(field_value[0], field_value[1], field_value[2], field_value[3], kit::RDSTATE.NLINE);
  }
  return intake.kept_any() ? Processed::kept : Processed::nothing_kept;
}

}  // namespace tool
