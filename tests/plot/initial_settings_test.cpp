#include <gtest/gtest.h>

#include "plot/window_system.h"
#include "tests/plot/recording_windows.h"

namespace plot {
namespace {

TEST(InitialSettings, PlacesTheFrameMaximizedAndReturnsTrue) {
  testing::RecordingConsole w;
  EXPECT_TRUE(INITIALSETTINGS(w));
  EXPECT_EQ(w.calls, std::vector<std::string>{"PLACEWINDOW(-1,2,0,0,0,0)"});
  ASSERT_TRUE(w.frame_place().has_value());
  EXPECT_EQ(w.frame_place()->kind, 2);
  EXPECT_TRUE(w.units().empty());
}

}  // namespace
}  // namespace plot
