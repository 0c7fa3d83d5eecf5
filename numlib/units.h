#pragma once
// Output units. Unit 6 is the program's standard output; the library writes its messages to the
// unit that UMACH(3) names. The text sink behind a unit can be replaced: the desktop front end
// shows unit 6 in a window, tests capture it.

#include <functional>
#include <string_view>

namespace numlib {

// The program's standard output, where the library's messages go unless UMACH(3) names another.
inline constexpr int kStandardOutputUnit = 6;

using UnitSink = std::function<void(std::string_view text)>;

// Replaces the sink of `unit`; an empty sink restores the default (standard output for unit 6,
// nothing for other units).
void set_unit_sink(int unit, UnitSink sink);

// Writes text to a unit; the text carries its own line ends.
void write_unit(int unit, std::string_view text);

}  // namespace numlib
