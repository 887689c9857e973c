// Internal to KIT: the two ways RDMIX cuts the line RDLINE has just read into fields.
#pragma once

#include <cstdint>
#include <span>

#include "kit/kit.h"

namespace kit::detail {

// ITYPE of a field.
enum FieldType : std::int32_t { kInteger = 1, kReal = 2, kText = 3 };

// Field by field through the general recognisers: names, integers, reals and expressions,
// words. Fills at most `capacity` fields.
void general_fields(std::int32_t& NPAR, std::span<std::int32_t> ITYPE, std::span<double> VALUE,
                    TextArray TEXT, std::size_t capacity);

// The common line of plain decimal numbers (an optional sign, digits, a point, more digits, an
// exponent) between blanks or commas, in one pass over the line. Gives exactly the fields,
// values and reader state that general_fields gives. Answers false when a field is of another
// shape; the reader state is then as it was, and general_fields reads the line.
bool plain_fields(std::int32_t& NPAR, std::span<std::int32_t> ITYPE, std::span<double> VALUE,
                  TextArray TEXT, std::size_t capacity);

}  // namespace kit::detail
