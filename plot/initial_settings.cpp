#include "plot/window_system.h"

namespace plot {

bool INITIALSETTINGS(WindowSystem& windows) {
  WINDOWPLACE place;
  place.kind = 2;  // maximized; x, y, h and w stay 0
  windows.PLACEWINDOW(FRAMEWINDOW, place);
  return true;
}

}  // namespace plot
