#include "windowing/qt/text_buffer.h"

namespace windowing {
namespace {

// Characters of a UTF-8 string (continuation bytes do not count), so that the cursor sits after
// the last character shown however it was typed.
int characters(std::string_view text) {
  int n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80 ? 1 : 0;
  return n;
}

}  // namespace

TextBuffer::TextBuffer() : lines_(1) {}

void TextBuffer::append(std::string_view text, int colour) {
  for (;;) {
    const auto end = text.find('\n');
    std::string piece(text.substr(0, end));
    std::erase(piece, '\r');
    if (!piece.empty()) {
      TextLine& line = lines_.back();
      if (!line.empty() && line.back().colour == colour) {
        line.back().text += piece;
      } else {
        line.push_back(TextRun{std::move(piece), colour});
      }
    }
    if (end == std::string_view::npos) return;
    lines_.emplace_back();
    text.remove_prefix(end + 1);
  }
}

void TextBuffer::write(std::string_view text, int colour) {
  std::lock_guard lock(mutex_);
  append(text, colour);
}

void TextBuffer::clear() {
  std::lock_guard lock(mutex_);
  lines_.assign(1, TextLine{});
}

std::string TextBuffer::text() const {
  std::lock_guard lock(mutex_);
  std::string all;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (i > 0) all += '\n';
    for (const auto& run : lines_[i]) all += run.text;
  }
  return all;
}

TextPicture TextBuffer::picture() const {
  std::lock_guard lock(mutex_);
  return TextPicture{lines_, input_, reading_, input_colour_};
}

std::pair<int, int> TextBuffer::cursor() const {
  std::lock_guard lock(mutex_);
  int column = 0;
  for (const auto& run : lines_.back()) column += characters(run.text);
  if (reading_) column += characters(input_);
  return {static_cast<int>(lines_.size()) - 1, column};
}

void TextBuffer::begin_read(int colour) {
  std::lock_guard lock(mutex_);
  reading_ = true;
  input_.clear();
  input_colour_ = colour;
  entered_.reset();
}

std::optional<std::string> TextBuffer::wait_line(const std::atomic<bool>& abort) {
  std::unique_lock lock(mutex_);
  line_entered_.wait(lock, [&] { return entered_.has_value() || abort.load(); });
  reading_ = false;
  input_.clear();
  std::optional<std::string> line;
  line.swap(entered_);
  return line;
}

void TextBuffer::wake() {
  // Taking the lock orders the wake after a reader's look at its flag.
  { std::lock_guard lock(mutex_); }
  line_entered_.notify_all();
}

bool TextBuffer::type(std::string_view characters) {
  std::lock_guard lock(mutex_);
  if (!reading_ || entered_) return false;
  input_ += characters;
  return true;
}

bool TextBuffer::backspace() {
  std::lock_guard lock(mutex_);
  if (!reading_ || entered_ || input_.empty()) return false;
  // Remove the whole last character, continuation bytes first.
  while (!input_.empty() && (static_cast<unsigned char>(input_.back()) & 0xC0) == 0x80) {
    input_.pop_back();
  }
  if (!input_.empty()) input_.pop_back();
  return true;
}

bool TextBuffer::enter() {
  {
    std::lock_guard lock(mutex_);
    if (!reading_ || entered_) return false;
    append(input_, input_colour_);
    append("\n", input_colour_);
    entered_ = input_;
    input_.clear();
    reading_ = false;
  }
  line_entered_.notify_all();
  return true;
}

bool TextBuffer::reading() const {
  std::lock_guard lock(mutex_);
  return reading_;
}

}  // namespace windowing
