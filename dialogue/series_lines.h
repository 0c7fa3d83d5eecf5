#pragma once
// Line-level reading of a series file, below Count, Load and Read the test series.
// A line ends at LF; a CR right before the LF (or at the very end of the file) belongs to the
// line end. The last line counts also when it has no line end. Only the first characters of a
// line matter, so a line is never held whole: a file without line ends costs no memory.

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <string_view>

#include "dialogue/series_file.h"

namespace dialogue {

// Characters of a line that the series field examines.
inline constexpr int kSeriesFieldWidth = 20;

// The lines of a stream, read in large blocks, each split by the rules above. The reader takes
// characters from the stream ahead of the lines it has handed out, so the stream's position is
// of no use afterwards (every pass over a series file starts by rewinding it).
class LineReader {
 public:
  explicit LineReader(std::istream& in) : in_(in), block_(new char[kBlock]) {}

  // The next line's field: its first kSeriesFieldWidth characters, without the line end; false
  // at the end of the stream (no line left). The view holds until the next call.
  bool next(std::string_view& field);

  // Characters read from the stream at a time.
  static constexpr std::streamsize kBlock = 1 << 20;

 private:
  bool refill() {
    if (at_end_) return false;
    const std::streamsize got = in_.rdbuf()->sgetn(block_.get(), kBlock);
    pos_ = 0;
    end_ = got > 0 ? static_cast<std::size_t>(got) : 0;
    if (end_ == 0) {
      at_end_ = true;
      in_.setstate(std::ios::eofbit);
      return false;
    }
    return true;
  }

  std::istream& in_;
  std::unique_ptr<char[]> block_;
  std::size_t pos_ = 0, end_ = 0;
  bool at_end_ = false;
  std::string field_;
};

// Count over a stream: reads every line by the rules of the field. A file of more than
// `max_lines` lines is refused like one with an unreadable line (N could not hold the count).
CountResult count_series_lines(std::istream& in, std::int64_t max_lines, int& N);

}  // namespace dialogue
