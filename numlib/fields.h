#pragma once
// Fixed-width output fields: Iw (an integer right-aligned in w characters) and Fw.d (a
// fixed-point number with d digits after the point, right-aligned in w characters). A value
// that does not fit fills its field with asterisks.

#include <cstdint>
#include <string>

namespace numlib {

std::string format_I(std::int64_t value, int w);

// A value that is not finite is written right-aligned as "NaN", "Infinity" or "-Infinity"
// ("Inf" / "-Inf" when the field is narrower than the word).
std::string format_F(double value, int w, int d);

}  // namespace numlib
