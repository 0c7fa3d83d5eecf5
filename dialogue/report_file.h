#pragma once
// The report file "report.txt": a lasting record of every run, always appended to. Six points of
// entry, each used at one place of the dialogue.
//
// Every block (the lines of one point of entry) reaches the file whole or not at all: it is
// written by one write() (repeated only for what a short write left), with the signals that
// would end the program held back meanwhile, and a write that fails takes the file back to its
// length before the block. A file that cannot be opened or written, or that is not a regular
// file, stops the program with "mapfit: cannot write report.txt: <reason>" on standard error.
//
// While the file is open, the run holds a lock on it (a POSIX record lock over the whole file),
// so that the blocks of two runs in one folder never interleave: a second run waits at its
// question 1 until the first closes the file, and says once which process it waits for.

#include <filesystem>
#include <string>
#include <string_view>

#include "model/model_map.h"
#include "plot/window_system.h"

namespace dialogue {

class ReportFile {
 public:
  // `windows`, when given, is told which process holds the file while this run waits for it
  // (status_message), and its stop request ends the wait (numlib::WorkStopped); without it the
  // notice goes to standard error.
  explicit ReportFile(std::filesystem::path path = "report.txt",
                      plot::WindowSystem* windows = nullptr);
  ~ReportFile();
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  // Question 1 accepted: opens the file for appending (no effect when it is open) and writes
  // the training line and an empty line.
  void write_training(int Ntrain);
  // Question 2 accepted: the dimension line.
  void write_dimension(int D);
  // After the dimension line, for a map whose arguments are T > 1 values apart: the delay line.
  void write_delay(int T);
  // After every fit: the function and its orders, the P coefficients, the error line.
  void write_model(const model::ModelMap& map, double ERR);
  // Efficiency check, test error known: an empty line and the test error line.
  void write_test_error(double ERR);
  // Efficiency check, end: the five lines of the test block and an empty line.
  void write_test_block(int Ltest, int Ktest, int Stest, int prediction_time, int infinite);
  // Question 12: the closing banner and an empty line; then the file is closed.
  void write_closing_and_close();

  bool is_open() const { return fd_ >= 0; }

 private:
  void open();
  void lock();
  void write_block(std::string_view block);
  void close_file();
  [[noreturn]] void fail(std::string_view reason);

  std::filesystem::path path_;
  plot::WindowSystem* windows_;
  int fd_ = -1;
};

// The text of one report line: a blank, the text and the line end.
std::string report_line(std::string_view text);

}  // namespace dialogue
