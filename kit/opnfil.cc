// OPNFIL: connects a file to a unit from small integer codes, through the open service of
// the line I/O layer, and reports on a message unit when asked.
#include <cstdint>
#include <limits>
#include <string_view>

#include "kit/kit.h"
#include "lineio/lineio.h"

namespace kit {
namespace {

using lineio::Line;

// The four open-mode texts, fixed width, set anew by every call that passes the unit check.
struct ModeTexts {
  std::string_view status = "UNKNOWN";
  std::string_view access = "SEQUENTIAL";
  std::string_view form = "FORMATTED  ";
  std::string_view blank = "NULL";
};
ModeTexts modes;

constexpr std::string_view kShareText = "DENYNONE";

std::string_view without_trailing_blanks(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);
}

// Three empty lines and the first line of every failure report.
void failure_head(std::int32_t msg_unit, std::int32_t unit) {
  lineio::put_empty(msg_unit, 3);
  lineio::put(msg_unit, Line().lit(" *** ERROR DURING OPENING OF FILE UNIT").i(unit, 5));
}

void report_open(std::string_view name, std::int32_t unit, bool scratch, std::int32_t record_length,
                 std::int32_t msg_unit) {
  lineio::put_empty(msg_unit, 3);
  if (scratch) {
    lineio::put(msg_unit, Line().x(5).lit("A SCRATCH FILE IS OPENED ON UNIT NO.").i(unit, 4));
  } else {
    lineio::put(msg_unit, Line().x(5).lit("FILE  ").lit(name));
    lineio::put(msg_unit, Line().x(5).lit("IS OPENED ON UNIT NO.").i(unit, 4));
  }
  lineio::put(msg_unit, Line().x(5).lit("FILE CHARACTERISTICS :"));
  lineio::put(msg_unit, Line().x(10).lit("STATUS =").lit(modes.status));
  lineio::put(msg_unit, Line().x(10).lit("ACCESS =").lit(modes.access));
  lineio::put(msg_unit, Line().x(10).lit("FORM   =").lit(modes.form));
  lineio::put(
      msg_unit,
      Line().x(10).lit("LENGTH =").i(record_length, 5).lit(" WORDS/BYTES PER RECORD (SECTOR)"));
  if (modes.form == "FORMATTED  ") {
    lineio::put(msg_unit, Line().x(10).lit("BLANK  =").lit(modes.blank));
  }
}

}  // namespace

void OPNFIL(std::string_view FNAME, std::int32_t LUNIT, std::int32_t ISTAT, std::int32_t IACC,
            std::int32_t IFORM, std::int32_t IBLNK, std::int32_t IRECL, std::int32_t IREP,
            std::int32_t LUNMSG, std::int32_t& IERR) {
  IERR = 0;
  if (LUNIT < lineio::kLowestUnit || LUNIT > lineio::kHighestUnit) {
    if (LUNMSG > 0) {
      failure_head(LUNMSG, LUNIT);
      lineio::put(LUNMSG, Line().x(5).lit("ILLEGAL FILE UNIT"));
    }
    IERR = -901;
    return;
  }

  modes = ModeTexts{};
  if (ISTAT == 2) modes.status = "OLD    ";
  if (ISTAT == 3) modes.status = "NEW    ";
  if (ISTAT == 4) modes.status = "SCRATCH";
  const bool direct = IACC == 20 || IACC == 30;
  if (direct) modes.form = "UNFORMATTED";
  // An explicit form code overrides the form that direct access implies.
  if (IFORM == 1) modes.form = "FORMATTED  ";
  if (IFORM == 2) modes.form = "UNFORMATTED";

  std::int32_t record_length = 0;
  if (IACC == 20) {
    // A formatted record of IRECL words holds 4 * IRECL characters; a length the open
    // service cannot count is as illegal as one below 1.
    const std::int64_t length = IFORM == 1 ? std::int64_t{4} * IRECL : std::int64_t{IRECL};
    if (IRECL < 1 || length > std::numeric_limits<std::int32_t>::max()) {
      if (LUNMSG > 0) {
        failure_head(LUNMSG, LUNIT);
        lineio::put(LUNMSG, Line().x(5).lit("ILLEGAL RECORD LENGTH =").i(IRECL, 5));
      }
      IERR = -902;
      return;
    }
    record_length = static_cast<std::int32_t>(length);
  } else if (IACC == 30) {
    record_length = 128;
  }
  if (direct) modes.access = "DIRECT    ";
  const bool formatted = modes.form != "UNFORMATTED";
  if (formatted) modes.blank = IBLNK == 1 ? "ZERO" : "NULL";
  const bool scratch = modes.status == "SCRATCH";

  lineio::OpenRequest request;
  request.file = scratch ? std::string_view{} : without_trailing_blanks(FNAME);
  request.status = modes.status;
  request.access = modes.access;
  request.form = modes.form;
  request.blank = formatted ? modes.blank : std::string_view{};
  request.share = kShareText;
  request.record_length = direct ? record_length : 0;
  const int code = lineio::open_unit(LUNIT, request);
  if (code > 0) {
    if (LUNMSG > 0) {
      failure_head(LUNMSG, LUNIT);
      lineio::put(LUNMSG, Line().x(5).lit("ERROR CODE =").i(code, 5).lit("  (SYSTEM PARAMETER)"));
    }
    IERR = -code;
    return;
  }
  if (IREP > 0 && LUNMSG > 0) report_open(FNAME, LUNIT, scratch, record_length, LUNMSG);
}

}  // namespace kit
