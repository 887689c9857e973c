// Internal: exact decimal digits of a double for the common field sizes, without the general
// conversion's cost. Each answers false when the value is outside its range; the caller then
// uses std::to_chars, whose output these reproduce character for character.
#pragma once

#include <cstddef>
#include <span>

namespace lineio::detail {

// As std::to_chars(out, ..., value, chars_format::fixed, decimals). out holds 64 characters.
bool fixed_digits(double value, int decimals, char* out, std::size_t& length);
// As std::to_chars(out, ..., value, chars_format::scientific, decimals). out holds 64.
bool sci_digits(double value, int decimals, char* out, std::size_t& length);

// Whole fields for the common cases, written right-aligned into the field as the general
// rendering would write them: fixed point with up to 3 decimals for values below 2^52,
// scientific with up to 8 decimals for values from about 1.0E-15 to 1.0E+15.
enum class FastField {
  kDeclined,  // outside the range: nothing written, the general rendering takes the value
  kWritten,   // the value's digits fill the field
  kTooWide,   // asterisks fill the field
};
FastField fixed_field(std::span<char> field, double value, int decimals);
FastField sci_field(std::span<char> field, double value, int decimals);

}  // namespace lineio::detail
