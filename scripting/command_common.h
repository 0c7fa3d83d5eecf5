#pragma once
// What the fit and search commands share: the series file, the options of the check and of
// term selection, the numerical library's messages, and writing results to a file or to
// standard output.

#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dialogue/series_file.h"
#include "model/term_selection.h"
#include "scripting/model_run.h"
#include "scripting/options.h"

namespace scripting {

inline constexpr int kUsageStatus = 2;
inline constexpr int kFailureStatus = 1;

// A command's options from its arguments by parse(), which throws UsageError. Returns the
// status to end the command with: kUsageStatus after a usage error (named on standard error
// after "COMMAND: "), 0 after --help (help() on standard output), nothing when the command runs.
template <class Options, class Parse, class Help>
std::optional<int> read_options(std::string_view command, Parse&& parse, Help&& help,
                                Options& options) {
  try {
    options = parse();
  } catch (const UsageError& error) {
    std::cerr << command << ": " << error.message << '\n';
    return kUsageStatus;
  }
  if (options.help) {
    std::cout << help();
    return 0;
  }
  return std::nullopt;
}

// Opens and counts a series file; a file the dialogue would not take is refused (UsageError).
void open_series(dialogue::Series& series, const std::string& name);

// The series data of an open, counted file: its digest and x(1 .. count).
SeriesData load_series(dialogue::Series& series, int Ntrain, int count);

// --select forward|backward.
model::TermSelection selection_value(std::string_view text);

// The check's options as given (absent when not given).
struct CheckOptions {
  bool check = false;
  std::optional<int> Ltest, Ktest, Stest;
};

// The settings of the check for a map of dimension D and delay T, validated as question 7 would
// validate them, in its order; Stest is 1 when Ktest = 1. R values follow the training part.
CheckSettings check_settings(const CheckOptions& options, std::int64_t R, int D, int T);

// The options of the check that both commands take: --check, --ltest, --ktest and --stest,
// read into `check`.
std::vector<OptionRule> check_option_rules(CheckOptions& check);

// While it lives, the numerical library's messages (unit 6) are kept for the results and shown
// on standard output, or on standard error when standard output carries the results.
class LibraryMessages {
 public:
  explicit LibraryMessages(bool to_standard_error);
  ~LibraryMessages();
  LibraryMessages(const LibraryMessages&) = delete;
  LibraryMessages& operator=(const LibraryMessages&) = delete;
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// Writes text to the file `target`, or to standard output for "-". False, with a note on
// standard error, when it cannot be written.
bool write_output(const std::string& target, const std::string& text, std::string_view what);

// A failure that is not the numerical library's stop (storage beyond what the fits report
// themselves, a failed system call): "not enough memory" or the exception's text, also written
// to standard error as "mapfit: TEXT" after what standard output holds so far.
std::string failure_note(const std::exception& error);

// Whether standard error is a terminal (for the progress line).
bool error_is_terminal();

}  // namespace scripting
