#pragma once
// The plot window of a command's efficiency check, drawn off screen and saved as a PNG file when
// its picture is complete (the same pixels as the dialogue's plot window).

#include <string>

#include "windowing/console.h"

namespace scripting {

class PlotFile : public windowing::Console {
 public:
  explicit PlotFile(std::string path) : path_(std::move(path)) {}

  // The commands write no text to the plot window and read nothing.
  void write_text(int, std::string_view) override {}
  std::string read_line(int unit) override;
  std::string choose_file(std::string_view) override { return {}; }
  bool confirm(std::string_view, std::string_view) override { return false; }

  // Saves the plot window's picture; a failure is noted on standard error.
  void picture_done(int unit) override;
  bool saved() const { return saved_; }

 private:
  std::string path_;
  bool saved_ = false;
};

}  // namespace scripting
