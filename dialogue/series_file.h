#pragma once
// The series file: a text file with one value per line, each line read as a 20-character field
// with 10 implied decimals. Choose, Count, Load the training values, Read the test series, Close.

#include <cstdint>
#include <deque>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "plot/window_system.h"

namespace dialogue {

struct Series {
  std::ifstream file;
  std::string name;
  int N = 0;                   // number of lines, counted by the first pass; at least 2
  std::vector<double> values;  // x(1) .. x(Ntrain) while the training values are held
};

// Reads one line (without its line end) by the rules of the field; false when it is unreadable.
bool read_series_line(std::string_view line, double& value);

// Choose: takes the next command-line name from `arguments` (each used up when taken), else
// asks through the file-choice dialog of `windows` (a cancelled dialog brings the "File Open
// Error" box; Yes ends the program with status 0). Closes a file chosen before; on return the
// file is open at its first line.
void choose_series(Series& series, std::deque<std::string>& arguments, plot::WindowSystem& windows);

enum class CountResult { counted, unreadable_line, too_short };

// Count: reads the file to its end; on success sets series.N.
CountResult count_series(Series& series);

// Load: x(1) .. x(Ntrain) from the first line, into series.values (exactly Ntrain elements).
void load_training(Series& series, int Ntrain);

// Read the test series: T(i) = x(Ntrain - D + i), i = 1 .. NT.
std::vector<double> read_test_series(Series& series, int Ntrain, int D, std::int64_t NT);

// Close: closes the series file.
void close_series(Series& series);

}  // namespace dialogue
