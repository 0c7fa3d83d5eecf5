// The terminal front end: dialogue on standard output and input, stand-ins for the file-choice
// dialog and the message box on standard error, the plot window saved as PNG.

#include "windowing/terminal_frontend.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <string>

#include "numlib/fields.h"
#include "numlib/held_signals.h"
#include "numlib/stop.h"
#include "numlib/units.h"
#include "windowing/png_writer.h"

namespace windowing {
namespace {

constexpr int kEndOfInputStatus = 3;

// Length of the UTF-8 sequence of a printable character that starts `text`, 0 when it starts
// with no such character (a stray or overlong byte, a cut sequence, a C1 control U+0080..U+009F).
std::size_t printable_sequence(std::string_view text) {
  const auto byte = [&](std::size_t i) {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
  };
  const unsigned lead = byte(0);
  std::size_t length = 0;
  unsigned low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    if (lead == 0xC2) low = 0xA0;  // U+0080..U+009F are controls
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

// The answer as it may be shown on a terminal: control characters in caret notation (^[ for
// ESC, ^? for DEL), bytes that form no printable character as \xNN; tabs and printable text,
// UTF-8 included, as they are.
std::string visible(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\t' || (c >= 0x20 && c < 0x7F)) {
      shown += static_cast<char>(c);
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      shown += '^';
      shown += static_cast<char>(c ^ 0x40);
      ++i;
    } else if (const std::size_t n = printable_sequence(text.substr(i)); n > 0) {
      shown.append(text.substr(i, n));
      i += n;
    } else {
      shown += "\\x";
      shown += kHex[c >> 4];
      shown += kHex[c & 0xF];
      ++i;
    }
  }
  return shown;
}

}  // namespace

TerminalFrontend::TerminalFrontend(std::istream& in, std::ostream& out, std::ostream& err,
                                   TerminalOptions options)
    : in_(in), out_(out), err_(err), options_(std::move(options)) {
  if (options_.library_messages) {
    numlib::set_unit_sink(plot::kMessagesUnit,
                          [this](std::string_view text) { write_text(plot::kMessagesUnit, text); });
  }
}

TerminalFrontend::~TerminalFrontend() {
  if (options_.library_messages) numlib::set_unit_sink(plot::kMessagesUnit, nullptr);
  stop_spinner();
}

TerminalOptions TerminalFrontend::options_for_standard_streams(std::string plot_path) {
  TerminalOptions options;
  options.plot_path = std::move(plot_path);
  options.echo_input = isatty(STDIN_FILENO) == 0;
  options.show_progress = isatty(STDERR_FILENO) != 0;
  options.library_messages = true;
  return options;
}

void TerminalFrontend::write_text(int unit, std::string_view text) {
  note_io(unit);
  erase_spinner_line();
  out_ << text << std::flush;
}

void TerminalFrontend::status_message(std::string_view text) {
  erase_spinner_line();
  out_.flush();
  err_ << "mapfit: " << text << '\n' << std::flush;
}

// Text written while the work runs silences the indicator, which would otherwise overwrite a
// line that has no line end yet.
void TerminalFrontend::erase_spinner_line() {
  {
    std::lock_guard lock(spinner_mutex_);
    if (spinner_shown_) {
      err_ << '\r' << std::string(shown_width_, ' ') << '\r' << std::flush;
      spinner_shown_ = false;
    }
    spinner_stop_ = spinner_stop_ || spinner_.joinable();
  }
  spinner_wake_.notify_all();
}

std::string TerminalFrontend::read_answer(std::ostream& echo_to) {
  // An answer is read by its first characters only; the rest of a very long line is
  // skipped rather than stored, so endless input cannot exhaust the memory.
  constexpr std::size_t kKeptCharacters = 65536;
  std::string line;
  bool any = false;
  for (int c = in_.get(); c != std::char_traits<char>::eof(); c = in_.get()) {
    any = true;
    if (c == '\n') break;
    if (line.size() < kKeptCharacters) line.push_back(static_cast<char>(c));
  }
  if (!any) {
    // Nothing more can be typed: finish the open prompt line and stop.
    echo_to << '\n' << std::flush;
    out_.flush();
    err_ << "mapfit: end of input\n" << std::flush;
    throw numlib::ProgramStop{kEndOfInputStatus};
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (options_.echo_input) echo_to << visible(line) << '\n' << std::flush;
  return line;
}

std::string TerminalFrontend::read_line(int unit) {
  note_io(unit);
  stop_spinner();
  return read_answer(out_);
}

std::string TerminalFrontend::choose_file(std::string_view title) {
  stop_spinner();
  out_.flush();
  err_ << title << "\nFile name: " << std::flush;
  return numlib::trim_blanks(read_answer(err_));
}

bool TerminalFrontend::confirm(std::string_view title, std::string_view text) {
  stop_spinner();
  out_.flush();
  err_ << title << '\n' << text << " (y/n) " << std::flush;
  const std::string answer = numlib::trim_blanks(read_answer(err_));
  return !answer.empty() && (answer.front() == 'y' || answer.front() == 'Y');
}

void TerminalFrontend::picture_done(int unit) {
  if (unit != plot::kPlotUnit) return;
  const auto canvas = snapshot(unit);
  if (!canvas) return;
  std::string error;
  if (!write_png(*canvas, options_.plot_path, &error)) {
    out_.flush();
    // The error names the file and the reason; a picture of that name from before stays.
    err_ << "mapfit: cannot write the plot to " << (error.empty() ? options_.plot_path : error)
         << " (" << options_.plot_path << " is left as it was)\n"
         << std::flush;
  }
}

void TerminalFrontend::work_begins(std::string_view what) {
  stop_spinner();
  if (!options_.show_progress) return;
  {
    std::lock_guard lock(spinner_mutex_);
    spinner_stop_ = false;
    spinner_shown_ = false;
    shown_width_ = 0;
    work_ = what.empty() ? std::string("working") : std::string(what);
  }
  percent_.store(-1, std::memory_order_relaxed);
  // The indicator's thread leaves the signals sent to the program to the dialogue's thread.
  const numlib::HeldSignals held;
  spinner_ = std::thread([this] { spin(); });
}

// Called from the library's threads: only the figure is kept, the indicator's thread shows it.
void TerminalFrontend::work_progress(std::int64_t done, std::int64_t total) {
  if (total <= 0) return;
  percent_.store(static_cast<int>(100 * std::clamp<std::int64_t>(done, 0, total) / total),
                 std::memory_order_relaxed);
}

void TerminalFrontend::work_ends() { stop_spinner(); }

void TerminalFrontend::stop_spinner() {
  if (!spinner_.joinable()) return;
  {
    std::lock_guard lock(spinner_mutex_);
    spinner_stop_ = true;
  }
  spinner_wake_.notify_all();
  spinner_.join();
}

void TerminalFrontend::spin() {
  using namespace std::chrono_literals;
  std::unique_lock lock(spinner_mutex_);
  const auto stopped = [this] { return spinner_stop_; };
  // Short work shows nothing.
  if (spinner_wake_.wait_for(lock, options_.progress_delay, stopped)) return;
  static constexpr char kMarks[] = {'|', '/', '-', '\\'};
  for (int tick = 0;; ++tick) {
    std::string line = work_ + ' ' + kMarks[tick % 4] + ' ';
    const int percent = percent_.load(std::memory_order_relaxed);
    if (percent >= 0) line += std::to_string(percent) + " % ";
    // A shorter line than the last one also blanks the rest of it.
    err_ << '\r' << line
         << std::string(shown_width_ > line.size() ? shown_width_ - line.size() : 0, ' ')
         << std::flush;
    shown_width_ = std::max(shown_width_, line.size());
    spinner_shown_ = true;
    if (spinner_wake_.wait_for(lock, 150ms, stopped)) break;
  }
  if (spinner_shown_) {
    err_ << '\r' << std::string(shown_width_, ' ') << '\r' << std::flush;
    spinner_shown_ = false;
  }
}

}  // namespace windowing
