// massplot [OPTIONS] FILE [SVGFILE]: draws the masses of a Map_Mass file, or of a weight list
// or a spreadsheet read as kel2fram reads it, as an SVG picture. This front holds the option
// table and the help's texts; the run of a picture is picture_run.cc, its output file
// picture_file.cc, the picture itself plot/'s, the reading of a list the tool's.
// An existing SVGFILE is replaced only when it is a picture; "-" is standard output.
#include <array>
#include <string>

#include "front/program.h"
#include "front/start.h"
#include "front/status.h"
#include "programs/picture.h"
#include "tool/command_line.h"

namespace {

using front::Option;
using tool::Given;

// kel2fram's options for a weight list, in massplot's words; --strict is kel2fram's alone.
constexpr std::array kOptions = {
    Option{'u', "unit", "kg|tonnes", "the mass unit of the weight list (default tonnes)",
           Given::unit},
    Option{'n', "spread", "N", "the spread count (not drawn; checked as kel2fram does)",
           Given::spread},
    Option{'x', "x-range", "MIN,MAX", "leave out the masses whose X lies outside MIN to MAX",
           Given::x_range},
    Option{'y', "y-range", "MIN,MAX", "the same for Y", Given::y_range},
    Option{'z', "z-range", "MIN,MAX", "the same for Z", Given::z_range},
    Option{'\0', "table", "",
           "read FILE as a delimited table with a heading row, whatever its name", Given::table},
    Option{'\0', "columns", "LIST",
           "a table's mass, X, Y and Z columns, as mass=D,x=E,y=F,z=G (letters, numbers or "
           "headings)",
           Given::columns},
    Option{'\0', "sheet", "NAME", "the sheet of a workbook to draw (default: the first)",
           Given::sheet},
    Option{'\0', "skip-rows", "LIST", "rows of a table to leave out (7,11-13)", Given::skip_rows},
};

constexpr front::Program kMassplot{
    .name = "massplot",
    .arguments = "[OPTIONS] FILE [SVGFILE]",
    .about =
        "Draws the masses of FILE as an SVG picture: plan, elevation and section at one common "
        "scale, every mass a circle of area in proportion to its mass, the centre of gravity "
        "as a cross-hair, a weight curve along X, and the moments of inertia. FILE is a file "
        "of Map_Mass records (as kel2fram writes it), or a weight list, read as kel2fram reads "
        "it; the picture then names the lines of the list. A workbook (.xlsx, .ods) or a "
        "delimited table (.csv, .tsv) with a heading row is a weight list too, and the "
        "picture names its rows.\n"
        "SVGFILE defaults to FILE with .svg in place of its extension; - writes the picture to "
        "standard output. An existing SVGFILE is replaced only when it is an SVG picture. The "
        "options from -u to --skip-rows are kel2fram's, for a weight list; without them its "
        "defaults hold.",
    .options = kOptions,
    .exit_status =
        "Exit status: 0 picture written; 1 wrong arguments, or SVGFILE is a file that is not "
        "an SVG picture (it is left as it was); 2 FILE unreadable, a table whose columns are "
        "not found, or without masses, or the picture could not be written (an existing "
        "SVGFILE is then unchanged).",
    .read_on =
        "The manual page massplot(1) (man massplot) and the KEL2FRAM manual tell more. "
        "The other programs: kel2fram converts a weight list into Map_Mass records, "
        "kitdump shows how each line of a weight list is read.",
    .least_files = 1,
    .most_files = 2,
    .files = "one file and one picture at most",
    .help_on_usage_error = true,
    .out_of_memory = "not enough memory",
};

// FILE with .svg in place of the extension of its last name component.
std::string default_svg_name(const std::string& input) {
  const std::size_t name_start = input.find_last_of("/\\") + 1;  // npos + 1 == 0
  const std::size_t dot = input.rfind('.');
  const bool has_extension = dot != std::string::npos && dot > name_start;
  return (has_extension ? input.substr(0, dot) : input) + ".svg";
}

int draw(const front::Arguments& arguments) {
  const std::string& input = arguments.files[0];
  if (input.empty() || (arguments.files.size() > 1 && arguments.files[1].empty())) {
    return front::refuse_usage(kMassplot, {front::UsageError::Kind::files, "an empty name"});
  }
  const std::string svg = arguments.files.size() > 1 ? arguments.files[1] : default_svg_name(input);
  return front::exit_code(massplot::write_picture(kMassplot, input, svg, arguments.command));
}

}  // namespace

int main(int argc, char** argv) {
  return front::run_program(kMassplot, argc, argv, draw);
}
