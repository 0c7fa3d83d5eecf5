#include "plot/window_system.h"

namespace plot {

bool INITIALSETTINGS(WindowSystem& windows) {
  windows.PLACEWINDOW(FRAMEWINDOW, kFramePlace);
  return true;
}

}  // namespace plot
