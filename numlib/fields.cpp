#include "numlib/fields.h"

#include <cmath>
#include <cstdio>

namespace numlib {
namespace {

std::string right_aligned(const std::string& text, int w) {
  if (static_cast<int>(text.size()) > w) return std::string(w, '*');
  return std::string(w - text.size(), ' ') + text;
}

}  // namespace

std::string format_I(std::int64_t value, int w) { return right_aligned(std::to_string(value), w); }

std::string format_F(double value, int w, int d) {
  if (std::isnan(value)) return right_aligned("NaN", w);
  if (std::isinf(value)) {
    std::string word = value > 0 ? "Infinity" : "-Infinity";
    if (static_cast<int>(word.size()) > w) word = value > 0 ? "Inf" : "-Inf";
    return right_aligned(word, w);
  }
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", d, value);
  std::string text = buf;
  // The 0 before the point is written only when the field has room for it.
  if (static_cast<int>(text.size()) > w) {
    if (text.rfind("0.", 0) == 0) {
      text.erase(0, 1);
    } else if (text.rfind("-0.", 0) == 0) {
      text.erase(1, 1);
    }
  }
  return right_aligned(text, w);
}

std::string format_percent(double ERR) { return format_F(100.0 * ERR, 10, 5) + " %"; }

std::string trim_blanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

}  // namespace numlib
