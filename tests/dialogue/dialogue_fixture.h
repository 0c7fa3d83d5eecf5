#pragma once
// A fixture that runs the whole dialogue in a temporary working directory with a scripted
// window system, and the series files it reads.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "dialogue/driver.h"
#include "numlib/error_stack.h"
#include "numlib/stop.h"
#include "numlib/units.h"
#include "test_support.h"

namespace dialogue::testing {

// x(k) = offset + 3 sin(0.7 k): obeys x(k+1) = 10 (1 - cos 0.7) - x(k-1) + 2 cos 0.7 x(k)
// exactly, when the offset is 5.
inline std::vector<double> sinusoid(int n, double offset = 5.0, double omega = 0.7) {
  std::vector<double> x;
  for (int k = 1; k <= n; ++k) x.push_back(offset + 3.0 * std::sin(omega * k));
  return x;
}

// Uniform pseudo-random values in [0, 1): no monomial of them depends on the others.
inline std::vector<double> noise(int n, unsigned seed = 12345) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::vector<double> x;
  for (int k = 0; k < n; ++k) x.push_back(uniform(engine));
  return x;
}

inline void write_series(const std::string& name, const std::vector<double>& values) {
  std::ofstream out(name);
  char buf[64];
  for (double v : values) {
    std::snprintf(buf, sizeof buf, "%.10f\n", v);
    out << buf;
  }
}

inline void write_lines(const std::string& name, const std::string& text) {
  std::ofstream(name) << text;
}

inline std::vector<std::string> read_lines(const std::string& name) {
  std::ifstream in(name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline int count_lines(const std::vector<std::string>& lines, const std::string& wanted) {
  int n = 0;
  for (const auto& l : lines) n += l == wanted ? 1 : 0;
  return n;
}

// Occurrences of `needle` in `text`.
inline int occurrences(const std::string& text, const std::string& needle) {
  int n = 0;
  for (auto pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + 1)) {
    ++n;
  }
  return n;
}

class DialogueRun : public ::testing::Test {
 protected:
  void SetUp() override {
    numlib::reset_error_stack();
    numlib::set_unit_sink(numlib::kStandardOutputUnit,
                          [this](std::string_view text) { unit6 += text; });
  }
  void TearDown() override {
    numlib::set_unit_sink(numlib::kStandardOutputUnit, {});
    numlib::reset_error_stack();
  }

  // Runs the dialogue; 0 when it returns normally, else the status of the stop.
  int run(std::deque<std::string> arguments, std::deque<std::string> answers) {
    windows.answers = std::move(answers);
    try {
      run_dialogue(windows, std::move(arguments));
    } catch (const numlib::ProgramStop& stop) {
      return stop.status;
    }
    return 0;
  }

  std::vector<std::string> report() const { return read_lines("report.txt"); }

  TempWorkDir dir;
  ScriptedWindows windows;
  std::string unit6;
};

}  // namespace dialogue::testing
