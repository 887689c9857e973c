// A table read as a whole: its form, the columns chosen, the reader for the form, and the
// bytes held in memory for tests and fuzzing.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "sheet/cells.h"
#include "sheet/workbook.h"

namespace sheet {
namespace {

class MemorySource final : public Source {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  std::int64_t size() const override { return static_cast<std::int64_t>(bytes_.size()); }
  long read_at(std::int64_t offset, std::span<char> into) override {
    if (offset < 0) return -EINVAL;
    if (static_cast<std::uint64_t>(offset) >= bytes_.size()) return 0;
    const std::size_t n = std::min(into.size(), bytes_.size() - static_cast<std::size_t>(offset));
    std::memcpy(into.data(), bytes_.data() + offset, n);
    return static_cast<long>(n);
  }

 private:
  std::string_view bytes_;
};

bool ends_with_folded(std::string_view name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(),
                    name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b + 32 : b); });
}

}  // namespace

std::unique_ptr<Source> memory_source(std::string_view bytes) {
  return std::make_unique<MemorySource>(bytes);
}

bool starts_as_zip(std::string_view head) {
  for (const std::string_view signature :
       {std::string_view("PK\x03\x04", 4), std::string_view("PK\x05\x06", 4),
        std::string_view("PK\x07\x08", 4)}) {
    if (head.starts_with(signature)) return true;
  }
  return false;
}

bool is_zip_container(std::string_view name) {
  int error = 0;
  const std::unique_ptr<Source> source = open_file(name, error);
  if (!source) return false;
  std::array<char, 4> head{};
  const long n = source->read_at(0, head);
  return n == 4 && starts_as_zip({head.data(), head.size()});
}

std::string_view form_name(Form form) {
  switch (form) {
    case Form::text_list:
      return "text list";
    case Form::delimited:
      return "delimited text";
    case Form::xlsx:
      return "Office Open XML workbook";
    case Form::ods:
      return "OpenDocument spreadsheet";
    case Form::other_zip:
      return "zip archive";
  }
  return {};
}

Form form_of(Source& source, std::string_view name, bool table) {
  std::array<char, 4> magic{};
  const long n = source.read_at(0, magic);
  if (n == 4 && std::string_view(magic.data(), 4) == std::string_view("PK\x03\x04", 4)) {
    return detail::zip_form(source, name);
  }
  if (table || ends_with_folded(name, ".csv") || ends_with_folded(name, ".tsv")) {
    return Form::delimited;
  }
  return Form::text_list;
}

std::string check_columns(std::string_view columns) {
  detail::ColumnChoice choice;
  return detail::parse_columns(columns, choice);
}

std::string check_skip_rows(std::string_view rows) {
  detail::RowRanges ranges;
  return ranges.parse(rows);
}

Outcome read_table(Source& source, Form form, const Options& options, RowSink& sink) {
  Outcome outcome;
  detail::ColumnChoice choice;
  if (std::string why = detail::parse_columns(options.columns, choice); !why.empty()) {
    outcome.reason = "--columns " + why;
    return outcome;
  }
  detail::RowRanges skip;
  if (!options.skip_rows.empty()) {
    if (std::string why = skip.parse(options.skip_rows); !why.empty()) {
      outcome.reason = "--skip-rows " + why;
      return outcome;
    }
  }
  if (form == Form::delimited) {
    char delimiter = detail::find_delimiter(source, {}, choice, outcome.reason);
    // A file that cannot be read (one that changed meanwhile, text in no encoding it can be
    // read in) is refused as it is, not read again as a text list.
    if (!outcome.reason.empty()) {
      outcome.unreadable = true;
      return outcome;
    }
    if (delimiter == 0) {
      if (!options.table) {
        outcome.reason = detail::no_heading_reason(source, choice);
        outcome.no_table = outcome.reason.empty();
        return outcome;
      }
      delimiter = ',';  // read so that the refusal names the row closest to a heading
    }
    detail::TableRows rows(sink, choice, std::string(), delimiter == ',' ? '.' : ',', &skip);
    outcome.reason = detail::read_delimited(source, delimiter, rows);
    outcome.unreadable = !outcome.reason.empty();
    if (outcome.reason.empty()) outcome.reason = rows.finish();
    outcome.read = outcome.reason.empty();
    return outcome;
  }
  if (form == Form::text_list) {
    outcome.no_table = true;
    return outcome;
  }
  outcome.reason = detail::read_workbook(source, form, options.sheet_name, choice, skip, sink,
                                         outcome.unreadable);
  outcome.read = outcome.reason.empty();
  return outcome;
}

}  // namespace sheet
