// The terminal front end: dialogue on standard output and input, stand-ins for the file-choice
// dialog and the message box on standard error, the plot window saved as PNG.

#include "windowing/terminal_frontend.h"

#include <unistd.h>

#include <chrono>
#include <iostream>
#include <string>

#include "numlib/stop.h"
#include "windowing/png_writer.h"

namespace windowing {
namespace {

constexpr int kPlotUnit = 12;
constexpr int kEndOfInputStatus = 3;

std::string trim_blanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

}  // namespace

TerminalFrontend::TerminalFrontend(std::istream& in, std::ostream& out, std::ostream& err,
                                   TerminalOptions options)
    : in_(in), out_(out), err_(err), options_(std::move(options)) {}

TerminalFrontend::~TerminalFrontend() { stop_spinner(); }

TerminalOptions TerminalFrontend::options_for_standard_streams(std::string plot_path) {
  TerminalOptions options;
  options.plot_path = std::move(plot_path);
  options.echo_input = isatty(STDIN_FILENO) == 0;
  options.show_progress = isatty(STDERR_FILENO) != 0;
  return options;
}

void TerminalFrontend::write_text(int unit, std::string_view text) {
  note_io(unit);
  {
    // Text written while the work runs silences the indicator, which would otherwise
    // overwrite a line that has no line end yet.
    std::lock_guard lock(spinner_mutex_);
    if (spinner_shown_) {
      err_ << '\r' << std::string(work_.size() + 3, ' ') << '\r' << std::flush;
      spinner_shown_ = false;
    }
    spinner_stop_ = spinner_stop_ || spinner_.joinable();
  }
  spinner_wake_.notify_all();
  out_ << text << std::flush;
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
  if (options_.echo_input) echo_to << line << '\n' << std::flush;
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
  return trim_blanks(read_answer(err_));
}

bool TerminalFrontend::ask_yes_no(std::string_view title, std::string_view text) {
  stop_spinner();
  out_.flush();
  err_ << title << '\n' << text << " (y/n) " << std::flush;
  const std::string answer = trim_blanks(read_answer(err_));
  return !answer.empty() && (answer.front() == 'y' || answer.front() == 'Y');
}

void TerminalFrontend::picture_done(int unit) {
  if (unit != kPlotUnit) return;
  const auto canvas = snapshot(unit);
  if (!canvas) return;
  std::string error;
  if (!write_png(*canvas, options_.plot_path, &error)) {
    out_.flush();
    err_ << "mapfit: cannot write the plot to " << options_.plot_path;
    if (!error.empty()) err_ << ": " << error;
    err_ << '\n' << std::flush;
  }
}

void TerminalFrontend::work_begins(std::string_view what) {
  stop_spinner();
  if (!options_.show_progress) return;
  {
    std::lock_guard lock(spinner_mutex_);
    spinner_stop_ = false;
    spinner_shown_ = false;
    work_ = what.empty() ? std::string("working") : std::string(what);
  }
  spinner_ = std::thread([this] { spin(); });
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
  if (spinner_wake_.wait_for(lock, 1s, stopped)) return;
  static constexpr char kMarks[] = {'|', '/', '-', '\\'};
  for (int tick = 0;; ++tick) {
    err_ << '\r' << work_ << ' ' << kMarks[tick % 4] << ' ' << std::flush;
    spinner_shown_ = true;
    if (spinner_wake_.wait_for(lock, 150ms, stopped)) break;
  }
  if (spinner_shown_) {
    err_ << '\r' << std::string(work_.size() + 3, ' ') << '\r' << std::flush;
    spinner_shown_ = false;
  }
}

}  // namespace windowing
