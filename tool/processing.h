// The processing of a weight list: a text list through the reader, line by line, or a table
// (a workbook, or delimited text with headings) by its headings, row by row; both into the
// intake. The settings are only read: what a table's heading decides is handed back.
//
// Data flow: RunSettings -> process_list -> text list (process.cc) | table (table_rows.cc)
// -> Intake -> ListRead; read_for_picture does the same quietly and hands back the masses
// with their places.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tool/intake.h"
#include "tool/settings.h"

namespace tool {

enum class Processed {
  kept,           // at least one mass kept: the result can be written
  nothing_kept,   // no usable line, every line rejected, or every mass outside the ranges
  reader_failed,  // the reader reported a failure (its own report is on the console)
  refused,        // a table that does not say what its columns are, or contradicts the settings
  unreadable,     // a table that cannot be read (damaged, a bound passed, a read error)
};

// What reading the list decided besides its masses.
struct ListRead {
  Processed processed = Processed::nothing_kept;
  std::string why;        // refused or unreadable: the reason, to follow the file's name
  bool table = false;     // the list was read as a table
  std::string_view form;  // what the table is ("xlsx spreadsheet"); empty for a text list
  std::string sheet;      // the sheet read; empty for delimited text
  MassUnit unit = MassUnit::tonnes;  // the unit the masses were read in
  bool unit_from_heading = false;    // the mass heading decided the unit
  bool unit_column = false;          // a unit column gives each row's unit
  std::uint32_t mass_column = 0;     // the mass's column, from 0
};

// Reads the list the settings name (opened on the input unit by the dialogue) into the
// intake: a workbook, or delimited text with headings, by its columns; any other file as a
// text list, through the reader. Rows and lines rejected are told as the intake tells them.
ListRead process_list(const RunSettings& settings, Intake& intake);

// One mass of a list read for its picture, at its place (the line or the row).
struct PlacedMass {
  MassEntry mass;
  std::int32_t place = 0;
};

// What a list read for its picture gives.
struct PictureList {
  ListRead read;
  Totals totals;
  std::vector<PlacedMass> masses;
  // "weight list, masses in tonnes"; "xlsx spreadsheet, sheet Deck, masses in tonnes from the
  // heading": what was read and how its unit was decided, then the ranges that are not the
  // defaults and the masses outside them.
  std::string source;
  std::string mass_cells;  // the start of the mass cells' names ("Deck!C"); empty for a text list
  std::string why;         // why nothing can be drawn: one line, after the file's name
};

// Reads the list `path` as kel2fram reads it, quietly (no console lines: standard output may
// be the picture), with the given settings. The warnings and the reasons for rejected lines
// or rows are told on standard error after `prefix`, and the rejected ones are summed up in
// one line. With `tables_only` a file that is no table is left alone (`read.table` false,
// `why` empty); otherwise it is read as a text list. Nothing to draw leaves `masses` empty
// and says why in `why`.
PictureList read_for_picture(const std::string& path, const RunSettings& settings,
                             std::string_view prefix, bool tables_only);

// Why no mass was kept, from "no mass kept: " on: of the lines of a weight list or the rows of
// a table.
std::string why_nothing_kept(const Totals& totals, bool rows);

}  // namespace tool
