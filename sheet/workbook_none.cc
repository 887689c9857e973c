// Workbooks in a build without the zip and XML libraries: recognised, and refused with the
// way round.
#include <string>

#include "sheet/workbook.h"

namespace sheet {

bool reads_workbooks() {
  return false;
}

namespace detail {

Form zip_form(Source& /*source*/, std::string_view name) {
  const auto ends = [&](std::string_view suffix) {
    return name.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(),
                      name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b + 32 : b); });
  };
  if (ends(".xlsx") || ends(".xlsm")) return Form::xlsx;
  if (ends(".ods")) return Form::ods;
  return Form::other_zip;
}

std::string read_workbook(Source& /*source*/, Form /*form*/, std::string_view /*sheet_name*/,
                          const ColumnChoice& /*choice*/, const RowRanges& /*skip*/,
                          RowSink& /*sink*/, bool& unreadable) {
  unreadable = false;
  return "is a workbook, and these programs were built without the zip and XML libraries "
         "(Debian packages libminizip-dev and libexpat1-dev); save the sheet as CSV to read it";
}

}  // namespace detail
}  // namespace sheet
