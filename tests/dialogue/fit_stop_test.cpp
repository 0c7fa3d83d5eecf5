// A stop request from the front end during a long fit: the fit ends between two blocks of rows
// and nothing of the model reaches the report.

#include <atomic>
#include <cstdint>

#include "dialogue_fixture.h"
#include "numlib/progress.h"

namespace dialogue::testing {
namespace {

// The scripted front end, asking to stop once the fit has reported `reports` blocks.
class StoppingWindows : public ScriptedWindows {
 public:
  explicit StoppingWindows(int reports) : reports_(reports) {}
  void work_progress(std::int64_t done, std::int64_t total) override {
    ++progress_calls;
    last_done = done;
    last_total = total;
  }
  bool stop_requested() override { return progress_calls.load() >= reports_; }

  std::atomic<int> progress_calls{0};
  std::atomic<std::int64_t> last_done{0}, last_total{0};

 private:
  int reports_;
};

TEST_F(DialogueRun, StopRequestEndsALongFitAndNoModelReachesTheReport) {
  // 200,000 values, D = 4, nu = 6 (P = 210): hundreds of blocks of rows.
  write_series("long.txt", noise(200'000));
  StoppingWindows w(3);
  w.answers = {"200000", "4", "1", "6", "n", "n", "n", "n"};
  EXPECT_THROW(run_dialogue(w, {"long.txt"}), numlib::WorkStopped);
  EXPECT_GT(w.last_total.load(), 100);
  // At most a block per thread after the request.
  EXPECT_LE(w.progress_calls.load(), 5);
  EXPECT_EQ(unit6, "");
  const auto lines = report();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], " Dimension of a model map D =  4");
}

}  // namespace
}  // namespace dialogue::testing
