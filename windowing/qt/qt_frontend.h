#pragma once
// The desktop front end's side of the dialogue: the window system the dialogue's thread calls.
// The console windows' state lives in Console (canvases) and in a TextBuffer per unit (text);
// every change is handed to the frame window on the GUI thread as a queued call, and every wait
// (a read, the file-choice dialog, a message box) blocks the dialogue's thread alone, on a
// condition that closing the frame also wakes: the dialogue then stops with kClosedStatus.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "windowing/console.h"
#include "windowing/qt/plot_recording.h"
#include "windowing/qt/text_buffer.h"

namespace windowing {

class FrameWindow;

class QtFrontend : public Console {
 public:
  // The unit of the numerical library's messages, shown in a window of its own.
  static constexpr int kMessagesUnit = plot::kMessagesUnit;
  // The run's status when the frame was closed while the dialogue still ran.
  static constexpr int kClosedStatus = 3;

  QtFrontend();
  ~QtFrontend() override;

  // The frame that shows the windows; set once, before the dialogue's thread starts.
  void attach(FrameWindow* frame) { frame_ = frame; }

  // Dialogue thread.
  void write_text(int unit, std::string_view text) override;
  std::string read_line(int unit) override;
  std::string choose_file(std::string_view title) override;
  bool confirm(std::string_view title, std::string_view text) override;
  void work_begins(std::string_view what) override;
  void work_ends() override;
  // Any of the library's threads: the progress goes to the status line, at most one update in
  // the queue at a time; a stop is requested by the Stop button, Esc or the frame's closing.
  void work_progress(std::int64_t done, std::int64_t total) override;
  bool stop_requested() override { return stop_.load() || closing_.load(); }
  // Drawing: the canvas as the Console draws it, and the same as shapes (plot_recording.h).
  int SELECTFONT(std::string_view description) override;
  void DRAWRECT(int style, std::int16_t x1, std::int16_t y1, std::int16_t x2,
                std::int16_t y2) override;
  void DRAWLINETO(std::int16_t x, std::int16_t y) override;
  int PLOTPIXEL(std::int16_t x, std::int16_t y) override;
  void DRAWTEXT(std::string_view text) override;
  // A finished picture joins the run's pages, titled with its caption and check number.
  void describe_picture(int unit, std::string_view caption) override;
  void picture_numbers(int unit, std::string_view csv) override;
  void picture_scale(int unit, const plot::PictureScale& scale) override;
  void picture_done(int unit) override;
  // Text of unit 6: to standard output and to its window, opened on first use.
  void write_messages(std::string_view text);
  // The dialogue ended with `status` (the frame then asks whether to close).
  void run_ended(int status);

  // Any thread.
  std::shared_ptr<TextBuffer> text_buffer(int unit);
  // The shapes drawn on `unit` since it was last cleared.
  PlotRecording recording(int unit) const;
  bool closing() const { return closing_.load(); }
  // GUI thread: start again with the series `file` (File > Open, a dropped file): the read
  // that waits, or the next one, ends with plot::NewSeriesRequested.
  void request_new_series(std::string file);
  // GUI thread: abandon the work under way (no effect between works).
  void request_stop() { stop_ = true; }
  bool stopping() const { return stop_.load(); }
  // GUI thread: the latest progress, taken by the frame's update.
  std::pair<std::int64_t, std::int64_t> take_progress();
  // The frame is closing: waits end now and every later one at once.
  void close_down();

  // GUI thread: the answer to request `id` (a file name, or "y" / "n").
  void answer(std::uint64_t id, std::string answer);
  // GUI thread: a refresh of `unit` posted earlier is being done; later changes post again.
  enum class Refresh { text, picture };
  void refresh_taken(int unit, Refresh what);

 protected:
  void window_event(int unit, WindowEvent event) override;

 private:
  void post(std::function<void(FrameWindow&)> call);
  // Adds a shape in the target's drawing colour; false without a target window.
  void record(PlotShape shape);
  struct Pen {
    int unit = 0;
    std::int16_t x = 0, y = 0;
    int colour = 0;
  };
  std::optional<Pen> pen() const;
  void post_refresh(int unit, Refresh what);
  std::string ask_gui(const std::function<void(FrameWindow&, std::uint64_t)>& show);

  FrameWindow* frame_ = nullptr;
  std::atomic<bool> closing_{false};
  std::atomic<bool> stop_{false};
  // Ends a waiting read: the frame closes, or another series was asked for.
  std::atomic<bool> read_interrupt_{false};
  std::mutex series_mutex_;
  std::optional<std::string> new_series_;
  std::atomic<bool> progress_posted_{false};
  std::atomic<std::int64_t> progress_done_{0}, progress_total_{0};

  std::mutex buffers_mutex_;
  std::map<int, std::shared_ptr<TextBuffer>> buffers_;

  mutable std::mutex recordings_mutex_;
  std::map<int, PlotRecording> recordings_;
  std::map<int, int> font_heights_;
  std::string caption_;
  std::string numbers_;
  std::optional<plot::PictureScale> scale_;
  int pictures_ = 0;

  std::mutex refresh_mutex_;
  std::set<std::pair<int, Refresh>> refresh_pending_;

  std::mutex request_mutex_;
  std::condition_variable request_answered_;
  std::uint64_t request_id_ = 0;
  std::optional<std::string> request_answer_;
};

}  // namespace windowing
