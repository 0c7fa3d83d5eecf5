// A stop request from the front end during a long fit: the fit ends between two blocks of rows
// and nothing of the model reaches the report.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>

#include "dialogue_fixture.h"
#include "numlib/progress.h"

namespace dialogue::testing {
namespace {

// The scripted front end, asking once to stop, when the fit has reported `reports` blocks.
class StoppingWindows : public ScriptedWindows {
 public:
  explicit StoppingWindows(int reports) : reports_(reports) {}
  void work_progress(std::int64_t done, std::int64_t total) override {
    if (!answered_after_stop) ++progress_calls;
    last_total = total;
    (void)done;
  }
  bool stop_requested() override {
    if (stopped.load() || progress_calls.load() < reports_) return false;
    stopped = true;
    return true;
  }
  std::string read_line(int unit) override {
    if (stopped.load()) answered_after_stop = true;
    return ScriptedWindows::read_line(unit);
  }

  std::atomic<int> progress_calls{0};
  std::atomic<std::int64_t> last_total{0};
  std::atomic<bool> stopped{false}, answered_after_stop{false};

 private:
  int reports_;
};

TEST_F(DialogueRun, StopRequestEndsALongFitAndNoModelReachesTheReport) {
  // 200,000 values, D = 4, nu = 6 (P = 210): hundreds of blocks of rows. The stopped fit asks
  // for the function again; the linear model given then is the only one in the report.
  write_series("long.txt", noise(200'000));
  StoppingWindows w(3);
  w.answers = {"200000", "4", "1", "6", "1", "1", "n", "n", "n", "n"};
  EXPECT_NO_THROW(run_dialogue(w, {"long.txt"}));
  EXPECT_TRUE(w.stopped.load());
  EXPECT_GT(w.last_total.load(), 0);
  // At most a block per thread after the request.
  EXPECT_LE(w.progress_calls.load(), 5);
  EXPECT_EQ(unit6, "");
  const auto lines = report();
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[2], " Dimension of a model map D =  4");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), " Polynomial order nu =  6"), 0);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), " Polynomial order nu =  1"), 1);
}

}  // namespace
}  // namespace dialogue::testing
