// Internal to front/: the options every program takes besides its own, after them in the help.
#pragma once

#include <array>
#include <string_view>

#include "front/program.h"

namespace front::detail {

inline constexpr Option kHelp{'h', "help", "", "show this help and end", std::nullopt};
inline constexpr Option kVersion{'V', "version", "", "show the version and end", std::nullopt};
inline constexpr std::array<const Option*, 2> kEveryProgram{&kHelp, &kVersion};
// The help's line for "--", after the options.
inline constexpr std::string_view kEndOfOptions = "end of the options: what follows names files";

}  // namespace front::detail
