#include "numlib/units.h"

#include <iostream>
#include <map>
#include <string>

namespace numlib {
namespace {

// Sinks installed over the defaults, by unit number.
std::map<int, UnitSink>& installed_sinks() {
  static std::map<int, UnitSink> sinks;
  return sinks;
}

}  // namespace

void set_unit_sink(int unit, UnitSink sink) {
  if (sink) {
    installed_sinks()[unit] = std::move(sink);
  } else {
    installed_sinks().erase(unit);
  }
}

void write_unit(int unit, std::string_view text) {
  auto& sinks = installed_sinks();
  if (auto it = sinks.find(unit); it != sinks.end()) {
    it->second(text);
    return;
  }
  // The default sink of the standard output flushes, so that a message printed just before a
  // stop is on the screen when the program ends.
  if (unit == kStandardOutputUnit) std::cout << text << std::flush;
}

}  // namespace numlib
