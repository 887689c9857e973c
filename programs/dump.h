// Internal to kitdump: the dump of a file as kel2fram reads it, a table by its rows or a text
// list by the reader's calls, one console line each; notices go to standard error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "front/program.h"
#include "front/status.h"
#include "lineio/lineio.h"
#include "sheet/sheet.h"

namespace kitdump {

// The dump's console.
inline constexpr std::int32_t kConsole = lineio::kConsoleOut;

// The rows of a table, after a line naming its heading row and each role's column; nothing
// (nullopt) when the file is a text list, to be dumped by its lines.
std::optional<front::DumpStatus> dump_table(const front::Program& program,
                                            const std::string& file_name,
                                            const sheet::Options& options);
// Per RDMIX call on the file, read with kel2fram's set-up, the field count and each field as
// " <type>:<value>:<text>"; "IERR=<n>" for a call that reports a failure; "-1" at the end.
// What reads otherwise than it looks is told on standard error, as kel2fram tells it.
front::DumpStatus dump_lines(const front::Program& program, const std::string& file_name);

}  // namespace kitdump
