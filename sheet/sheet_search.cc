// Which sheet of a workbook is read: the one --sheet names, or else the first, in workbook
// order with hidden sheets last, whose rows name the columns. The sheets are handed in as the
// workbook keeps them; those before the chosen one are passed over without a word to the
// sink, those after it are only looked at for a heading row, to be named.
#include <algorithm>
#include <string>
#include <utility>

#include "lineio/text_encoding.h"
#include "sheet/workbook_parts.h"

namespace sheet::detail {
namespace {

HeadingProbe probe_sink;

std::string quoted(const std::string& name) {
  return "\"" + lineio::escape_controls(name) + "\"";
}

// "\"A\"", "\"A\" and \"B\"", "\"A\", \"B\" and \"C\"", and of many the first few:
// "\"A\", ..., \"H\" and 52 more".
std::string listed(const std::vector<std::string>& names) {
  constexpr std::size_t kNamed = 8;
  const std::size_t shown = names.size() > kNamed + 1 ? kNamed : names.size();
  std::string text;
  for (std::size_t k = 0; k < shown; ++k) {
    text += (k == 0                                    ? ""
             : k + 1 == shown && shown == names.size() ? " and "
                                                       : ", ") +
            quoted(names[k]);
  }
  if (shown < names.size()) text += " and " + std::to_string(names.size() - shown) + " more";
  return text;
}

}  // namespace

SheetSearch::SheetSearch(std::string_view wanted, bool hidden_come_last, const ColumnChoice& choice,
                         const RowRanges* skip, RowSink& sink)
    : wanted_(wanted),
      hidden_come_last_(hidden_come_last),
      choice_(choice),
      skip_(skip),
      sink_(sink) {}

TableRows* SheetSearch::begin(const std::string& name, bool hidden) {
  names_.push_back(name);
  current_real_ = false;
  current_.reset();
  if (!wanted_.empty()) {
    if (name != wanted_ || chosen_) return nullptr;
    current_real_ = true;
  } else if (!chosen_) {
    // The rows go to the sink at once unless a visible sheet may still come after this
    // hidden one: nothing reaches the sink before a heading row is found.
    current_real_ = !hidden || hidden_come_last_;
    if (hidden && !current_real_ && !probed_hidden_.empty()) return nullptr;
  }
  current_name_ = name;
  current_hidden_ = hidden;
  current_ =
      std::make_unique<TableRows>(current_real_ ? sink_ : probe_sink, choice_, name, '.', skip_);
  return current_.get();
}

void SheetSearch::end() {
  if (!current_) return;
  TableRows& rows = *current_;
  const bool decided = rows.heading_decided();
  if (current_real_ && (decided || !wanted_.empty())) {
    chosen_ = std::move(current_);
    chosen_name_ = current_name_;
    return;
  }
  if (decided) {
    // Named as the others that name the columns, visible ones first.
    const auto at = current_hidden_
                        ? others_.end()
                        : others_.begin() + static_cast<std::ptrdiff_t>(visible_others_++);
    others_.insert(at, current_name_);
    if (!chosen_ && probed_hidden_.empty()) {
      probed_hidden_ = current_name_;  // read it again if no visible sheet names the columns
    }
  } else {
    if (rows.closest_roles() > closest_roles_) {
      closest_roles_ = rows.closest_roles();
      closest_ = "in sheet " + quoted(current_name_) + " " + rows.closest();
      closest_sheet_ = current_name_;
      suggestion_ = rows.suggested_columns();
    }
    // A workbook of one sheet is refused as a delimited table is.
    if (names_.size() == 1) {
      single_ = std::move(current_);
      return;
    }
  }
  current_.reset();
}

std::string SheetSearch::reread() const {
  return chosen_ || !wanted_.empty() ? std::string() : probed_hidden_;
}

std::string SheetSearch::finish() {
  if (names_.empty()) return "is a spreadsheet without sheets";
  if (!chosen_) {
    if (!wanted_.empty()) {
      return "has no sheet " + quoted(std::string(wanted_)) + " (its sheets: " + listed(names_) +
             ")";
    }
    if (names_.size() == 1 && single_) return single_->finish();
    std::string why =
        "no sheet names the mass and X, Y, Z columns (sheets searched: " + listed(names_);
    if (!closest_.empty()) why += "; " + closest_;
    why += "); name the columns with " +
           (suggestion_.empty() ? std::string("--columns mass=D,x=E,y=F,z=G") : suggestion_) +
           " and the sheet with --sheet " +
           quoted(closest_sheet_.empty() ? names_.front() : closest_sheet_);
    return why;
  }
  std::string why = chosen_->finish();
  // A hidden sheet read again is not one of the others.
  std::erase(others_, chosen_name_);
  if (why.empty() && !others_.empty()) {
    sink_.note((others_.size() == 1 ? "sheet " : "sheets ") + listed(others_) +
               (others_.size() == 1 ? " names" : " name") +
               " the columns too; --sheet chooses the sheet to read");
  }
  return why;
}

}  // namespace sheet::detail
