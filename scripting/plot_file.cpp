#include "scripting/plot_file.h"

#include <iostream>

#include "numlib/stop.h"
#include "plot/plots.h"
#include "windowing/png_writer.h"

namespace scripting {

std::string PlotFile::read_line(int /*unit*/) { throw numlib::ProgramStop{1}; }

void PlotFile::picture_done(int unit) {
  if (unit != plot::kPlotUnit) return;
  const auto canvas = snapshot(unit);
  if (!canvas) return;
  std::string error;
  saved_ = windowing::write_png(*canvas, path_, &error);
  if (!saved_) {
    std::cerr << "mapfit: cannot write the plot to " << path_;
    if (!error.empty()) std::cerr << ": " << error;
    std::cerr << '\n';
  }
}

}  // namespace scripting
