// The run of one picture: the masses read from a records file, or from a weight list or a
// table as kel2fram reads it, then the picture planned and written.
#include <string>
#include <string_view>

#include "front/notice.h"
#include "lineio/lineio.h"
#include "os/platform.h"
#include "plot/picture.h"
#include "programs/picture.h"
#include "programs/weight_list.h"
#include "tool/processing.h"
#include "tool/settings.h"

namespace massplot {
namespace {

// The last component of a file's name, as its lines are named in the picture.
std::string_view base_name(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

front::PictureStatus write_picture(const front::Program& program, const std::string& input,
                                   const std::string& svg, const tool::CommandLine& command) {
  const auto fail = [&](const std::string& file, std::string_view reason) {
    front::notice(program, file + ": " + std::string(reason));
    return front::PictureStatus::failed;
  };
  const std::string prefix = std::string(program.name) + ": ";
  plot::MassList list;
  Notices notice(program, input);
  tool::RunSettings settings = tool::settings_of_answers(command.answers);
  settings.table = command.settings.table;
  settings.columns = command.settings.columns;
  settings.sheet_name = command.settings.sheet_name;
  settings.skip_rows = command.settings.skip_rows;
  // A workbook, or delimited text with headings, is drawn by its rows.
  tool::PictureList read = tool::read_for_picture(input, settings, prefix, true);
  if (!read.why.empty()) return fail(input, read.why);
  const bool rows = read.read.table;
  bool records = false;
  if (!rows) {
    const int error = plot::read_mass_file(input, list, notice);
    if (error != 0) return fail(input, "cannot read: " + lineio::describe_error(error));
    notice.finish();
    records = list.records > 0;
  }
  // A file without a Map_Mass line is taken for a weight list.
  if (!rows && !records) {
    read = tool::read_for_picture(input, settings, prefix, false);
    if (!read.why.empty()) return fail(input, read.why);
  }
  if (records) {
    if (list_options_given(command.answers)) {
      front::notice(program, input +
                                 ": a file of Map_Mass records: the unit, spread and range "
                                 "options are for weight lists, and are not used");
    }
    if (list.masses.empty()) return fail(input, "no Map_Mass record that can be drawn");
  } else {
    if (rows) notice.name_rows(read.read.sheet);
    add_masses(read.masses, list, notice);
    notice.finish();
    if (list.masses.empty()) return fail(input, "no mass that can be drawn");
  }

  if (svg != "-" && os::same_file(input, svg)) {
    return fail(svg, "is the file being drawn; it is not overwritten");
  }
  if (const std::string refusal = svg == "-" ? "" : why_not_replaced(svg); !refusal.empty()) {
    fail(svg, refusal);
    return front::PictureStatus::refused;
  }
  const plot::Summary summary = plot::summarize(list.masses);
  const plot::Page page = plot::plan_page(summary);
  plot::PictureInput picture{};
  picture.file_name = input;
  if (records) picture.record_file = base_name(input);
  picture.rows = rows;
  picture.sheet = read.read.sheet;
  picture.mass_cells = read.mass_cells;
  picture.source = read.source;
  picture.list = &list;
  picture.summary = &summary;
  picture.page = &page;
  if (const std::string why = write_svg_file(svg, picture); !why.empty()) return fail(svg, why);
  return front::PictureStatus::written;
}

}  // namespace massplot
