#pragma once
// The report file "report.txt": a lasting record of every run, always appended to. Six points of
// entry, each used at one place of the dialogue. Every block is flushed as soon as it is
// written, so a stop of the program loses nothing; a file that cannot be opened or written
// stops the program with a message on the standard error stream.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "model/model_map.h"

namespace dialogue {

class ReportFile {
 public:
  explicit ReportFile(std::filesystem::path path = "report.txt");

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

  bool is_open() const { return file_ != nullptr; }

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  void open();
  void write_block(std::string_view block);
  [[noreturn]] void fail(int error_number);

  std::filesystem::path path_;
  std::unique_ptr<std::FILE, Closer> file_;
};

// The text of one report line: a blank, the text and the line end.
std::string report_line(std::string_view text);

}  // namespace dialogue
