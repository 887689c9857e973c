// Internal: exact decimal digits of a double for the common field sizes, without the general
// conversion's cost. Each answers false when the value is outside its range; the caller then
// uses std::to_chars, whose output these reproduce character for character.
#pragma once

#include <cstddef>

namespace lineio::detail {

// As std::to_chars(out, ..., value, chars_format::fixed, decimals). out holds 64 characters.
bool fixed_digits(double value, int decimals, char* out, std::size_t& length);
// As std::to_chars(out, ..., value, chars_format::scientific, decimals). out holds 64.
bool sci_digits(double value, int decimals, char* out, std::size_t& length);

}  // namespace lineio::detail
