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

bool continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

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
  return TextPicture{lines_, input_, reading_, input_colour_,
                     characters(std::string_view(input_).substr(0, input_pos_))};
}

std::pair<int, int> TextBuffer::cursor() const {
  std::lock_guard lock(mutex_);
  int column = 0;
  for (const auto& run : lines_.back()) column += characters(run.text);
  if (reading_) column += characters(std::string_view(input_).substr(0, input_pos_));
  return {static_cast<int>(lines_.size()) - 1, column};
}

void TextBuffer::begin_read(int colour) {
  std::lock_guard lock(mutex_);
  reading_ = true;
  input_.clear();
  input_pos_ = 0;
  history_pos_ = history_.size();
  draft_.clear();
  input_colour_ = colour;
  entered_.reset();
}

std::optional<std::string> TextBuffer::wait_line(const std::atomic<bool>& abort) {
  std::unique_lock lock(mutex_);
  line_entered_.wait(lock, [&] { return entered_.has_value() || abort.load(); });
  reading_ = false;
  input_.clear();
  input_pos_ = 0;
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
  input_.insert(input_pos_, characters);
  input_pos_ += characters.size();
  return true;
}

bool TextBuffer::backspace() {
  std::lock_guard lock(mutex_);
  if (!reading_ || entered_ || input_pos_ == 0) return false;
  // Remove the whole character before the position, continuation bytes and all.
  std::size_t begin = input_pos_ - 1;
  while (begin > 0 && continuation(input_[begin])) --begin;
  input_.erase(begin, input_pos_ - begin);
  input_pos_ = begin;
  return true;
}

bool TextBuffer::erase() {
  std::lock_guard lock(mutex_);
  if (!reading_ || entered_ || input_pos_ == input_.size()) return false;
  std::size_t end = input_pos_ + 1;
  while (end < input_.size() && continuation(input_[end])) ++end;
  input_.erase(input_pos_, end - input_pos_);
  return true;
}

bool TextBuffer::move(CursorMove where) {
  std::lock_guard lock(mutex_);
  if (!reading_ || entered_) return false;
  switch (where) {
    case CursorMove::left:
      if (input_pos_ == 0) return false;
      --input_pos_;
      while (input_pos_ > 0 && continuation(input_[input_pos_])) --input_pos_;
      break;
    case CursorMove::right:
      if (input_pos_ == input_.size()) return false;
      ++input_pos_;
      while (input_pos_ < input_.size() && continuation(input_[input_pos_])) ++input_pos_;
      break;
    case CursorMove::home:
      input_pos_ = 0;
      break;
    case CursorMove::end:
      input_pos_ = input_.size();
      break;
  }
  return true;
}

bool TextBuffer::recall(int direction) {
  std::lock_guard lock(mutex_);
  if (!reading_ || entered_) return false;
  if (direction < 0 && history_pos_ > 0) {
    if (history_pos_ == history_.size()) draft_ = input_;
    input_ = history_[--history_pos_];
  } else if (direction > 0 && history_pos_ < history_.size()) {
    ++history_pos_;
    input_ = history_pos_ == history_.size() ? draft_ : history_[history_pos_];
  } else {
    return false;
  }
  input_pos_ = input_.size();
  return true;
}

bool TextBuffer::enter() {
  {
    std::lock_guard lock(mutex_);
    if (!reading_ || entered_) return false;
    append(input_, input_colour_);
    append("\n", input_colour_);
    entered_ = input_;
    if (!input_.empty() && (history_.empty() || history_.back() != input_)) {
      history_.push_back(input_);
    }
    input_.clear();
    input_pos_ = 0;
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
