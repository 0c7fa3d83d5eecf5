#include "dialogue/report_file.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include "numlib/fields.h"
#include "numlib/stop.h"

namespace dialogue {
namespace {

std::string percent(double ERR) { return numlib::format_F(100.0 * ERR, 10, 5) + " %"; }

}  // namespace

std::string report_line(std::string_view text) {
  std::string line = " ";
  line += text;
  line += '\n';
  return line;
}

ReportFile::ReportFile(std::filesystem::path path) : path_(std::move(path)) {}

void ReportFile::fail(int error_number) {
  std::cerr << "mapfit: cannot write " << path_.string() << ": " << std::strerror(error_number)
            << std::endl;
  throw numlib::ProgramStop{1};
}

void ReportFile::open() {
  if (file_) return;
  errno = 0;
  std::FILE* f = std::fopen(path_.c_str(), "a");
  if (f == nullptr) fail(errno != 0 ? errno : EIO);
  file_.reset(f);
}

void ReportFile::write_block(std::string_view block) {
  open();
  errno = 0;
  if (std::fwrite(block.data(), 1, block.size(), file_.get()) != block.size() ||
      std::fflush(file_.get()) != 0) {
    const int error_number = errno != 0 ? errno : EIO;
    // The file stays open: what reached it is kept, and it is closed when the dialogue unwinds.
    fail(error_number);
  }
}

void ReportFile::write_training(int Ntrain) {
  open();
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
  block += report_line("Error of approximation: " + percent(ERR));
  write_block(block);
}

void ReportFile::write_test_error(double ERR) {
  write_block("\n" + report_line("Error of approximation (test series): " + percent(ERR)));
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
  std::FILE* f = file_.release();
  errno = 0;
  if (std::fclose(f) != 0) fail(errno != 0 ? errno : EIO);
}

}  // namespace dialogue
