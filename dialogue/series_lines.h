#pragma once
// Line-level reading of a series file, below Count, Load and Read the test series.
// A line ends at LF; a CR right before the LF (or at the very end of the file) belongs to the
// line end. The last line counts also when it has no line end. Only the first characters of a
// line matter, so a line is never held whole: a file without line ends costs no memory.

#include <cstdint>
#include <istream>
#include <string>

#include "dialogue/series_file.h"

namespace dialogue {

// Characters of a line that the series field examines.
inline constexpr int kSeriesFieldWidth = 20;

// Reads the next line of `in` into `field`: its first kSeriesFieldWidth characters, without the
// line end. Returns false at the end of the file (no line left).
bool next_series_line(std::istream& in, std::string& field);

// Count over a stream: reads every line by the rules of the field. A file of more than
// `max_lines` lines is refused like one with an unreadable line (N could not hold the count).
CountResult count_series_lines(std::istream& in, std::int64_t max_lines, int& N);

}  // namespace dialogue
