// Internal to sheet/: workbooks, the zip containers of .xlsx and .ods. Built from
// workbook_zip.cc with the zip and XML libraries, from workbook_none.cc without them.
#pragma once

#include <string>
#include <string_view>

#include "sheet/cells.h"

namespace sheet::detail {

// What a zip archive holds: a workbook, an OpenDocument spreadsheet, or something else.
Form zip_form(Source& source, std::string_view name);
// Reads the named sheet (empty: the first) of a workbook into sink; answers why it cannot be
// read, empty when it was; `unreadable` tells damage from a table without its headings.
std::string read_workbook(Source& source, Form form, std::string_view sheet_name,
                          const ColumnChoice& choice, const RowRanges& skip, RowSink& sink,
                          bool& unreadable);

}  // namespace sheet::detail
