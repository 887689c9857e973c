// Internal to massplot: the run of one picture. The masses are read from a records file, or
// from a weight list or a table as kel2fram reads it (tool::read_for_picture); the picture is
// written to standard output, or to a temporary file beside SVGFILE that takes its name only
// when complete.
#pragma once

#include <string>

#include "front/program.h"
#include "front/status.h"
#include "plot/picture.h"
#include "tool/command_line.h"

namespace massplot {

// Draws the masses of `input` into `svg` ("-": standard output) with the settings and answers
// of the command line; every failure is one notice naming the file and the reason.
front::PictureStatus write_picture(const front::Program& program, const std::string& input,
                                   const std::string& svg, const tool::CommandLine& command);

// Why an existing file may not be replaced by a picture; empty when it may (see picture_file.cc).
std::string why_not_replaced(const std::string& svg);
// Writes the picture to `svg` ("-": standard output); answers why it was not written, empty
// when it was written whole. A file being replaced keeps its former contents on a failure.
std::string write_svg_file(const std::string& svg, const plot::PictureInput& picture);

}  // namespace massplot
