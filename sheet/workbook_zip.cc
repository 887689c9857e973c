// Workbooks read from their zip containers: which form a container holds, and the reader of
// each form.
#include <array>
#include <string>

#include "sheet/workbook.h"
#include "sheet/workbook_parts.h"
#include "sheet/xml.h"

namespace sheet {

bool reads_workbooks() {
  return true;
}

namespace detail {

Form zip_form(Source& source, std::string_view /*name*/) {
  std::string why;
  const std::unique_ptr<Zip> zip = Zip::open(source, why);
  if (!zip) return Form::xlsx;  // refused with its reason when read
  if (zip->has("xl/workbook.xml")) return Form::xlsx;
  if (zip->has("mimetype")) {
    std::string type;
    static_cast<void>(zip->read("mimetype", [&](std::string_view bytes) {
      type.append(bytes.substr(0, 128 - std::min<std::size_t>(type.size(), 128)));
      return type.size() < 128;
    }));
    if (type == "application/vnd.oasis.opendocument.spreadsheet") return Form::ods;
  }
  return Form::other_zip;
}

std::string read_workbook(Source& source, Form form, std::string_view sheet_name,
                          const ColumnChoice& choice, const RowRanges& skip, RowSink& sink,
                          bool& unreadable) {
  unreadable = true;
  std::string why;
  const std::unique_ptr<Zip> zip = Zip::open(source, why);
  if (!zip) return why;
  return form == Form::ods ? read_ods(*zip, sheet_name, choice, skip, sink, unreadable)
                           : read_xlsx(*zip, sheet_name, choice, skip, sink, unreadable);
}

}  // namespace detail
}  // namespace sheet
