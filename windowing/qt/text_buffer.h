#pragma once
// The text of a console window on the desktop: the lines written so far with their colours, the
// line being typed, and the hand-over of a finished line from the GUI thread to the dialogue's
// thread. One mutex guards it all; every method takes it, so the buffer can be shared between
// the thread that writes and reads (the dialogue) and the thread that paints and types (GUI).

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace windowing {

// A stretch of one line written in one colour (a palette index).
struct TextRun {
  std::string text;
  int colour = 0;
  friend bool operator==(const TextRun&, const TextRun&) = default;
};

using TextLine = std::vector<TextRun>;

// What the painter needs, copied under the lock.
struct TextPicture {
  std::vector<TextLine> lines;  // never empty: the last line is the one the text position is on
  std::string input;            // typed so far, shown after the last line while reading
  bool reading = false;
  int input_colour = 0;
  int input_cursor = 0;  // characters of `input` before the editing position
};

// Moves of the editing position in the line being typed.
enum class CursorMove { left, right, home, end };

class TextBuffer {
 public:
  TextBuffer();

  // Appends `text` at the text position (the end) in `colour`; '\n' starts a new line, '\r' is
  // dropped. The line being typed is not affected.
  void write(std::string_view text, int colour);
  // Empties the window: the next text starts at row 1, column 1.
  void clear();

  // The whole text as written, lines joined by '\n' (typed lines included once entered).
  std::string text() const;
  TextPicture picture() const;
  // Row and column (both 0-based) of the text cursor, after any typed input.
  std::pair<int, int> cursor() const;

  // Dialogue side: a read begins, typed characters go to a fresh input line shown in `colour`.
  void begin_read(int colour);
  // Waits until a line is entered or `abort` is set (then nullopt). The read ends either way.
  std::optional<std::string> wait_line(const std::atomic<bool>& abort);
  // Wakes a waiting reader so that it looks at its abort flag again.
  void wake();

  // GUI side. Each returns false (and changes nothing) when no read waits. Typing inserts at
  // the editing position; backspace removes the character before it, erase the one after it.
  bool type(std::string_view characters);
  bool backspace();
  bool erase();
  bool move(CursorMove where);
  // Up (-1) and Down (+1) through the lines entered earlier in this window, as a shell does:
  // past the newest comes back the line that was being typed.
  bool recall(int direction);
  // Ends the typed line: it joins the text with its line end and goes to the reader.
  bool enter();
  bool reading() const;

 private:
  void append(std::string_view text, int colour);  // caller holds mutex_

  mutable std::mutex mutex_;
  std::condition_variable line_entered_;
  std::vector<TextLine> lines_;
  std::string input_;
  std::size_t input_pos_ = 0;  // byte offset of the editing position in input_
  int input_colour_ = 0;
  std::vector<std::string> history_;
  std::size_t history_pos_ = 0;  // == history_.size(): the line being typed
  std::string draft_;            // the line being typed while an earlier one is shown
  bool reading_ = false;
  std::optional<std::string> entered_;
};

}  // namespace windowing
