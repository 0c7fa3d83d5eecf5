#include "scripting/command_common.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>

#include "dialogue/answer_checks.h"
#include "model/delay.h"
#include "numlib/units.h"
#include "scripting/options.h"
#include "scripting/sha256.h"

namespace scripting {

void open_series(dialogue::Series& series, const std::string& name) {
  series.name = name;
  std::error_code ec;
  const auto status = std::filesystem::status(name, ec);
  if (!std::filesystem::exists(status)) throw UsageError{name + ": no such file"};
  if (!std::filesystem::is_regular_file(status)) throw UsageError{name + ": not a file"};
  series.file.open(name, std::ios::in | std::ios::binary);
  if (!series.file.is_open()) throw UsageError{name + ": cannot be opened"};
  switch (dialogue::count_series(series)) {
    case dialogue::CountResult::counted:
      return;
    case dialogue::CountResult::unreadable_line:
      throw UsageError{name + ": a line cannot be read as a value"};
    case dialogue::CountResult::too_short:
      throw UsageError{name + ": fewer than two values"};
  }
}

SeriesData load_series(dialogue::Series& series, int Ntrain, int count) {
  SeriesData data;
  data.file = series.name;
  data.N = series.N;
  data.Ntrain = Ntrain;
  const auto digest = sha256_of_file(series.name);
  data.sha256 = digest ? *digest : std::string();
  dialogue::load_training(series, count);
  data.x = std::move(series.values);
  return data;
}

model::TermSelection selection_value(std::string_view text) {
  if (text == "forward") return model::TermSelection::forward;
  if (text == "backward") return model::TermSelection::backward;
  throw UsageError{refusal("--select", text, "must be forward or backward")};
}

std::vector<OptionRule> check_option_rules(CheckOptions& check) {
  using dialogue::kLengthFieldWidth;
  return {
      {"--check", false, [&check](std::string_view) { check.check = true; }},
      {"--ltest", true,
       [&check](std::string_view v) {
         check.Ltest = field_value("--ltest", v, kLengthFieldWidth);
       }},
      {"--ktest", true,
       [&check](std::string_view v) {
         check.Ktest = field_value("--ktest", v, kLengthFieldWidth);
       }},
      {"--stest", true,
       [&check](std::string_view v) {
         check.Stest = field_value("--stest", v, kLengthFieldWidth);
       }},
  };
}

CheckSettings check_settings(const CheckOptions& options, std::int64_t R, int D, int T) {
  const std::int64_t span = model::delay_window(D, T);
  CheckSettings s;
  if (options.Ltest) s.Ltest = *options.Ltest;
  if (options.Ktest) s.Ktest = *options.Ktest;
  if (options.Stest) s.Stest = *options.Stest;
  // The values left for the test pieces, as a formula and as a number.
  const std::string rest = T > 1 ? "N - Ntrain - (D-1)T - 1" : "N - Ntrain - D";
  const auto refuse = [&](std::string_view option, const std::optional<int>& given, int value,
                          const std::string& rule) {
    const std::string shown = std::to_string(value) + (given ? "" : " (the default)");
    throw UsageError{refusal(option, shown, "needs " + rule)};
  };
  if (!dialogue::ltest_accepted(s.Ltest, R, span)) {
    refuse("--ltest", options.Ltest, s.Ltest,
           "1 <= Ltest <= " + rest + " = " + std::to_string(R - span));
  }
  if (!dialogue::ktest_accepted(s.Ktest, s.Ltest, R, span)) {
    refuse("--ktest", options.Ktest, s.Ktest,
           "1 <= Ktest <= " + rest + " - Ltest + 1 = " + std::to_string(R - span - s.Ltest + 1));
  }
  if (s.Ktest > 1) {
    if (!dialogue::stest_accepted(s.Stest, s.Ktest, s.Ltest, R, span)) {
      refuse("--stest", options.Stest, s.Stest,
             "Stest >= 1 and (Ktest - 1) Stest <= " + rest +
                 " - Ltest = " + std::to_string(R - span - s.Ltest));
    }
  } else {
    s.Stest = 1;
  }
  return s;
}

LibraryMessages::LibraryMessages(bool to_standard_error) {
  numlib::set_unit_sink(numlib::kStandardOutputUnit,
                        [this, to_standard_error](std::string_view text) {
                          text_ += text;
                          std::ostream& out = to_standard_error ? std::cerr : std::cout;
                          out << text << std::flush;
                        });
}

LibraryMessages::~LibraryMessages() { numlib::set_unit_sink(numlib::kStandardOutputUnit, nullptr); }

bool write_output(const std::string& target, const std::string& text, std::string_view what) {
  if (target == "-") {
    std::cout << text << std::flush;
    if (std::cout) return true;
    std::cerr << "mapfit: cannot write the " << what << " to the standard output\n";
    return false;
  }
  errno = 0;
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  if (out) out << text << std::flush;
  if (out) return true;
  const int error = errno;
  std::cerr << "mapfit: cannot write the " << what << " to " << target;
  if (error != 0) std::cerr << ": " << std::strerror(error);
  std::cerr << '\n';
  return false;
}

std::string failure_note(const std::exception& error) {
  const std::string note =
      dynamic_cast<const std::bad_alloc*>(&error) != nullptr ? "not enough memory" : error.what();
  std::cout.flush();
  std::cerr << "mapfit: " << note << '\n';
  return note;
}

bool error_is_terminal() { return isatty(STDERR_FILENO) != 0; }

}  // namespace scripting
