#pragma once
// Fixed-width output fields: Iw (an integer right-aligned in w characters) and Fw.d (a
// fixed-point number with d digits after the point, right-aligned in w characters). A value
// that does not fit fills its field with asterisks. Also the two small text helpers that the
// dialogue and the front ends share.

#include <cstdint>
#include <string>
#include <string_view>

namespace numlib {

std::string format_I(std::int64_t value, int w);

// A value that is not finite is written right-aligned as "NaN", "Infinity" or "-Infinity"
// ("Inf" / "-Inf" when the field is narrower than the word).
std::string format_F(double value, int w, int d);

// An error of approximation as the program shows it: 100 ERR in F10.5, then " %".
std::string format_percent(double ERR);

// `text` without the blanks and tabs around it.
std::string trim_blanks(std::string_view text);

}  // namespace numlib
