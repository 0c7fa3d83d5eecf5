#pragma once
// The terminal front end: the dialogue window is the terminal the program runs in (its text on
// standard output, its answers from standard input), the plot window is an off-screen canvas
// saved as a PNG file when its picture is complete, and the file-choice dialog and the message
// box are stand-ins that talk on standard error, so that standard output carries the dialogue
// alone.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "windowing/console.h"

namespace windowing {

struct TerminalOptions {
  // Where the picture of the plot window goes.
  std::string plot_path = "model-efficiency.png";
  // Echo every answer read, after its prompt, as the window would show the typed line
  // (for input that is not typed at a terminal). Control characters are echoed visibly
  // (^[ for ESC, \x9b for a lone byte that is no character), so that a file of answers cannot
  // drive the terminal; the answer itself is read as typed.
  bool echo_input = false;
  // Show a progress indicator on the error stream while long work runs (a terminal there).
  bool show_progress = false;
  // How long work runs before the indicator shows: short work shows nothing.
  std::chrono::milliseconds progress_delay{1000};
  // Take the numerical library's messages (plot::kMessagesUnit) for the front end's lifetime,
  // so that they reach `out` in order with the dialogue and never mix with the progress
  // indicator.
  bool library_messages = false;
};

class TerminalFrontend : public Console {
 public:
  // The streams outlive the front end. `out` gets the dialogue text, `err` the stand-ins'
  // questions, notes and the progress indicator.
  TerminalFrontend(std::istream& in, std::ostream& out, std::ostream& err, TerminalOptions options);
  ~TerminalFrontend() override;

  // Options for the process's own streams: echo when standard input is not a terminal,
  // progress when standard error is one, the library's messages taken.
  static TerminalOptions options_for_standard_streams(std::string plot_path);

  // Text of every unit goes to `out` as it is, flushed, so that a prompt shows before the read.
  void write_text(int unit, std::string_view text) override;
  // One line from `in` without its LF or CR LF. End of input throws numlib::ProgramStop{3}.
  std::string read_line(int unit) override;

  // "TITLE" and "File name: " on `err`; the typed name without blanks around it, empty when
  // the line is empty.
  std::string choose_file(std::string_view title) override;
  // TITLE, TEXT and " (y/n) " on `err`; "y" or "Y" first is Yes, anything else No.
  bool confirm(std::string_view title, std::string_view text) override;

  // The plot unit complete: its canvas goes to the plot file.
  void picture_done(int unit) override;
  // "mapfit: TEXT" on `err`, on a line of its own.
  void status_message(std::string_view text) override;
  // A spinner on `err` once the work has lasted progress_delay (with show_progress only),
  // followed by the percentage done once the work reports its progress.
  void work_begins(std::string_view what) override;
  void work_progress(std::int64_t done, std::int64_t total) override;
  void work_ends() override;

 private:
  std::string read_answer(std::ostream& echo_to);
  void erase_spinner_line();
  void stop_spinner();
  void spin();

  std::istream& in_;
  std::ostream& out_;
  std::ostream& err_;
  TerminalOptions options_;

  // The progress indicator's thread and what it shares with the dialogue's thread.
  std::thread spinner_;
  std::mutex spinner_mutex_;
  std::condition_variable spinner_wake_;
  bool spinner_stop_ = false;
  bool spinner_shown_ = false;
  std::size_t shown_width_ = 0;  // of the indicator's line on `err`
  std::string work_;
  std::atomic<int> percent_{-1};  // done of the current work, -1 before its first report
};

}  // namespace windowing
