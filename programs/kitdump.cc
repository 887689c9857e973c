// kitdump FILE: the developers' window into the reader. Reads FILE as kel2fram reads it and
// writes one console line per reader call, or per row of a table (dump_lines.cc,
// dump_table.cc); what reads otherwise than it looks is told on standard error, as kel2fram
// tells it. This front holds the option table and the help's texts.
#include <array>
#include <optional>

#include "front/program.h"
#include "front/start.h"
#include "front/status.h"
#include "lineio/lineio.h"
#include "programs/dump.h"
#include "sheet/sheet.h"
#include "tool/command_line.h"

namespace {

using front::Option;
using tool::Given;

constexpr std::array kOptions = {
    Option{'\0', "table", "", "read FILE as a delimited table whatever its name", Given::table},
    Option{'\0', "columns", "LIST",
           "the columns of mass, X, Y, Z (mass=D,x=E,y=F,z=G); implies --table", Given::columns},
    Option{'\0', "sheet", "NAME",
           "the sheet of a workbook to read (default: the first that names the columns)",
           Given::sheet},
    Option{'\0', "skip-rows", "LIST", "rows of a table to leave out (7,11-13)", Given::skip_rows},
};

constexpr front::Program kKitdump{
    .name = "kitdump",
    .arguments = "[OPTIONS] FILE",
    .about =
        "Reads the weight list FILE as kel2fram does and prints, for each line read (comment "
        "and blank lines are skipped), the number of fields and then each field as "
        "TYPE:VALUE:TEXT, where TYPE is 1 (whole number), 2 (real number or expression) or 3 "
        "(word, which rejects the line). A last line -1 marks the end of the list. Fields that "
        "read otherwise than they look (an expression read left to right, a division by zero, "
        "a decimal comma, characters beyond column 132, more than four numbers, an empty cell "
        "between two tabs, two numbers joined by a minus, SIN or COS of degrees, item numbers "
        "in front), and why a line is rejected, are told on standard error, as kel2fram tells "
        "them.\n"
        "A table (a .xlsx or .ods workbook, a .csv or .tsv file with headings) is shown as "
        "kel2fram reads it: a line naming the heading row and each role's column, then per row "
        "its number and each role's cell and value, or why it is left out.",
    .options = kOptions,
    .exit_status =
        "Exit status: 0 the list was read to its end; 1 the file cannot be opened, a table "
        "without headings, or wrong arguments; 2 the console cannot be written, not enough "
        "memory, UTF-16 text that cannot be read (no byte-order mark, a broken pair), or a "
        "damaged workbook.",
    .read_on =
        "The manual page kitdump(1) (man kitdump) and the KEL2FRAM manual tell more. The "
        "other programs: kel2fram converts a weight list into Map_Mass records, massplot "
        "draws them as an SVG picture.",
    .least_files = 1,
    .most_files = 1,
    .files = "one weight list at most",
    .help_on_usage_error = true,
    .out_of_memory = "not enough memory",
};

int dump(const front::Arguments& arguments) {
  const std::string& file = arguments.files[0];
  const tool::RunSettings& settings = arguments.command.settings;
  const sheet::Options options{settings.table, settings.columns, settings.sheet_name,
                               settings.skip_rows};
  front::DumpStatus status = front::DumpStatus::dumped;
  const int run_status = lineio::guarded_run([&] {
    const std::optional<front::DumpStatus> table = kitdump::dump_table(kKitdump, file, options);
    status = table ? *table : kitdump::dump_lines(kKitdump, file);
  });
  // A console that cannot be written is a failed transfer, whatever the dump came to.
  return run_status != 0 ? run_status : front::exit_code(status);
}

}  // namespace

int main(int argc, char** argv) {
  return front::run_program(kKitdump, argc, argv, dump);
}
