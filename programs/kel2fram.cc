// KEL2FRAM: converts a weight list into Map_Mass records. The dialogue is its interface; the
// command line can answer its questions beforehand. This front holds the option table and the
// help's texts; the run is the tool's (tool/run.h).
#include <array>

#include "front/program.h"
#include "front/start.h"
#include "front/status.h"
#include "kit/kit.h"
#include "terminal/console_window.h"
#include "tool/command_line.h"
#include "tool/run.h"

namespace {

using front::Option;
using tool::Given;

constexpr std::array kOptions = {
    Option{'u', "unit", "kg|tonnes",
           "the mass unit of the weight list: kg, or tonnes (also t; the default); either case",
           Given::unit},
    Option{'n', "spread", "N", "the number of nodes each mass is spread to (default 1)",
           Given::spread},
    Option{'x', "x-range", "MIN,MAX",
           "skip the masses whose X lies outside MIN to MAX (a comma or a blank between them; "
           "default: no range)",
           Given::x_range},
    Option{'y', "y-range", "MIN,MAX", "the same for Y", Given::y_range},
    Option{'z', "z-range", "MIN,MAX", "the same for Z", Given::z_range},
    Option{'\0', "table", "",
           "read the weight list as a delimited table (comma, semicolon or tab) with a heading "
           "row, whatever its name; .csv and .tsv files with headings, .xlsx and .ods workbooks "
           "are read so without it",
           Given::table},
    Option{'\0', "columns", "LIST",
           "the columns of a table's mass, X, Y and Z where the headings do not name them, as "
           "mass=D,x=E,y=F,z=G (letters, numbers from 1, or heading texts); roles left out are "
           "found by their headings; implies --table",
           Given::columns},
    Option{'\0', "sheet", "NAME",
           "the sheet of a workbook to read (default: the first, in the workbook's order with "
           "hidden sheets last, whose rows name the columns)",
           Given::sheet},
    Option{'\0', "skip-rows", "LIST",
           "rows of a table to leave out, as the spreadsheet program numbers them (7,11-13): a "
           "total typed as a number, say",
           Given::skip_rows},
    Option{'\0', "strict", "",
           "end early with status 1, writing nothing, when any line is rejected or any warning "
           "is given (for scripts)",
           Given::strict},
};

constexpr front::Program kKel2fram{
    .name = "kel2fram",
    .arguments = "[OPTIONS] [WEIGHT-LIST [OUTPUT]]",
    .about =
        "Converts a weight list into Map_Mass records for Framix, with a report of the total "
        "mass and the centre of gravity. Without arguments it asks everything in a dialogue. "
        "Each option answers one question, and the files named answer the first two; the "
        "dialogue shows every answer given so. With both files named nothing is asked: every "
        "other question takes its option or its default, and standard input is not read.",
    .options = kOptions,
    .exit_status =
        "Exit status: 0 the output file was written completely; 1 a usage error or an early "
        "end that wrote nothing; 2 a failed transfer (a file named here that cannot be opened, "
        "a bad answer or the end of the answers, an unreadable weight list, an output file "
        "that cannot be written).",
    .read_on =
        "The manual page kel2fram(1) (man kel2fram) and the KEL2FRAM manual tell more. "
        "The other programs: kitdump shows how each line of a weight list is read, "
        "massplot draws the records as an SVG picture.",
    .least_files = 0,
    .most_files = 2,
    .files = "one weight list and one output file at most",
    .help_on_usage_error = false,
    .out_of_memory = "not enough memory; the output file is left as it was",
};

int convert(const front::Arguments& arguments) {
  kit::reset_reader();
  tool::CommandLine command = arguments.command;
  tool::name_files(command, arguments.files);
  if (terminal::console_window_of_its_own()) tool::work_beside_named_list(command);
  const front::ConversionStatus status = tool::start(command);
  return front::exit_code(status);
}

}  // namespace

int main(int argc, char** argv) {
  return front::run_program(kKel2fram, argc, argv, convert);
}
