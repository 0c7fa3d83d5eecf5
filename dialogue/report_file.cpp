// The blocks of the report file, each formed whole before it is written (report_file_io.cpp).

#include "dialogue/report_file.h"

#include "numlib/fields.h"

namespace dialogue {
namespace {}  // namespace

std::string report_line(std::string_view text) {
  std::string line = " ";
  line += text;
  line += '\n';
  return line;
}

void ReportFile::write_training(int Ntrain) {
  write_block(report_line("The number of values in a training time series Ntrain = " +
                          numlib::format_I(Ntrain, 6)) +
              "\n");
}

void ReportFile::write_dimension(int D) {
  write_block(report_line("Dimension of a model map D = " + numlib::format_I(D, 2)));
}

void ReportFile::write_delay(int T) {
  write_block(report_line("Delay between the arguments T = " + numlib::format_I(T, 6)));
}

void ReportFile::write_model(const model::ModelMap& map, double ERR) {
  std::string block;
  if (map.kind == model::ModelKind::rational) {
    block += report_line("Function for approximation: rational  ");
    block += report_line("Numerator polynomial order nu = " + numlib::format_I(map.nu, 2));
    block += report_line("Denominator polynomial order mu = " + numlib::format_I(map.mu, 2));
  } else {
    block += report_line("Function for approximation: standard p");
    block += report_line("Polynomial order nu = " + numlib::format_I(map.nu, 2));
  }
  block += report_line("Coefficients of the model map:");
  // The coefficient lines are the only text lines without the leading blank.
  for (int i = 0; i < map.P; ++i) {
    block += numlib::format_F(map.COEF[static_cast<std::size_t>(i)], 20, 10);
    block += '\n';
  }
  block += report_line("Error of approximation: " + numlib::format_percent(ERR));
  write_block(block);
}

void ReportFile::write_test_error(double ERR) {
  write_block("\n" +
              report_line("Error of approximation (test series): " + numlib::format_percent(ERR)));
}

void ReportFile::write_test_block(int Ltest, int Ktest, int Stest, int prediction_time,
                                  int infinite) {
  std::string block;
  block += report_line("Length of a test piece: Ltest = " + numlib::format_I(Ltest, 5));
  block += report_line("Number of test pieces: Ktest = " + numlib::format_I(Ktest, 4));
  block += report_line("Shift between test pieces: Stest = " + numlib::format_I(Stest, 4));
  block += report_line("Prediction time: " + numlib::format_I(prediction_time, 4));
  block += report_line("Number of infinite solutions: " + numlib::format_I(infinite, 4));
  block += '\n';
  write_block(block);
}

void ReportFile::write_closing_and_close() {
  write_block(report_line("!" + std::string(51, '*') + "!") + "\n");
  close_file();
}

}  // namespace dialogue
