// Internal: building and throwing the failed-transfer report.
#pragma once

#include <cstdint>
#include <string_view>

namespace lineio {

// Ends the run: " *** ERROR: <what> ON UNIT <unit> (<file>)", followed by ": <reason>" when
// error (an errno value) is not 0.
[[noreturn]] void fail_transfer(std::string_view what, std::int32_t unit, std::string_view file,
                                int error);
// The same with the reason given as text.
[[noreturn]] void fail_transfer(std::string_view what, std::int32_t unit, std::string_view file,
                                std::string_view reason);

}  // namespace lineio
