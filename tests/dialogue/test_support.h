#pragma once
// Test support for the dialogue: a scripted window system that records what the dialogue
// writes and answers its reads from a queue, and a temporary working directory.

#include <unistd.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "numlib/stop.h"
#include "plot/window_system.h"

namespace dialogue::testing {

class ScriptedWindows : public plot::WindowSystem {
 public:
  // Everything written to the dialogue unit, each answer echoed after its prompt with a line end.
  std::string transcript;
  // Window calls, text writes ("text <unit> <text>") and answers in order; a run of drawing
  // calls is recorded as one "draw".
  std::vector<std::string> events;
  std::deque<std::string> answers;
  // Run just before the answer to the n-th (1-based) showing of a prompt is handed out; the
  // prompt is the dialogue's text after its last line end, without the leading blank.
  void before_answer_to(std::string prompt, int n, std::function<void()> hook) {
    hooks_[{std::move(prompt), n}] = std::move(hook);
  }
  std::deque<std::string> chosen_files;
  int reads = 0;
  int draw_calls = 0;

  void OPENWINDOW(int unit, std::string_view title, bool focus_on_io) override {
    log("OPENWINDOW " + std::to_string(unit) + " " + std::string(title) + " " +
        std::to_string(focus_on_io ? 1 : 0));
  }
  void PLACEWINDOW(int window, const plot::WINDOWPLACE& p) override {
    log("PLACEWINDOW " + std::to_string(window) + " " + std::to_string(p.kind) + " " +
        std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(p.h) + " " +
        std::to_string(p.w));
  }
  void TARGETWINDOW(int unit) override { log("TARGETWINDOW " + std::to_string(unit)); }
  void FOCUSWINDOW(int unit) override { log("FOCUSWINDOW " + std::to_string(unit)); }
  int SETBACKCOLOR(int c) override { return logged("SETBACKCOLOR " + std::to_string(c)); }
  void CLEARWINDOW(int area) override { log("CLEARWINDOW " + std::to_string(area)); }
  int SETTEXTCOLOR(int c) override { return logged("SETTEXTCOLOR " + std::to_string(c)); }
  int SHOWCURSOR(int s) override { return logged("SHOWCURSOR " + std::to_string(s)); }

  void write_text(int unit, std::string_view text) override {
    if (unit == plot::kDialogueUnit) {
      transcript += text;
      const auto end = text.rfind('\n');
      prompt_ = end == std::string_view::npos ? prompt_ + std::string(text)
                                              : std::string(text.substr(end + 1));
    }
    log("text " + std::to_string(unit) + " " + std::string(text));
  }
  std::string read_line(int unit) override {
    if (answers.empty()) throw numlib::ProgramStop{3};
    if (unit == plot::kDialogueUnit) {
      const std::string prompt = prompt_.starts_with(' ') ? prompt_.substr(1) : prompt_;
      const auto it = hooks_.find({prompt, ++shown_[prompt]});
      if (it != hooks_.end()) it->second();
      prompt_.clear();
    }
    ++reads;
    std::string answer = answers.front();
    answers.pop_front();
    if (unit == plot::kDialogueUnit) transcript += answer + "\n";
    log("answer " + answer);
    return answer;
  }

  int SETDRAWCOLOR(int) override { return draw(); }
  int LOADFONTS() override { return draw(); }
  int SELECTFONT(std::string_view) override { return draw(); }
  void DRAWRECT(int, std::int16_t, std::int16_t, std::int16_t, std::int16_t) override { draw(); }
  void MOVEPEN(std::int16_t, std::int16_t) override { draw(); }
  void DRAWLINETO(std::int16_t, std::int16_t) override { draw(); }
  int PLOTPIXEL(std::int16_t, std::int16_t) override { return draw(); }
  void DRAWTEXT(std::string_view) override { draw(); }

  std::string choose_file(std::string_view title) override {
    log("choose_file " + std::string(title));
    if (chosen_files.empty()) return "";
    std::string name = chosen_files.front();
    chosen_files.pop_front();
    return name;
  }
  bool confirm(std::string_view title, std::string_view) override {
    log("confirm " + std::string(title));
    return true;
  }

  void picture_done(int unit) override { log("picture_done " + std::to_string(unit)); }
  void work_begins(std::string_view what) override {
    log("work_begins " + std::string(what));
    ++works;
    progress_reports = 0;
  }
  void work_ends() override { log("work_ends"); }
  // Stop requests: during the work with this number (1 for the first work_begins), once it has
  // reported its progress `stop_after` times.
  int stop_work = 0;
  int stop_after = 0;
  int works = 0;
  // The library reports progress between its parallel parts, so plain counters do.
  int progress_reports = 0;
  bool finished_work = false;  // the work to be stopped reported done == total
  void work_progress(std::int64_t done, std::int64_t total) override {
    ++progress_reports;
    if (works == stop_work && done == total) finished_work = true;
  }
  bool stop_requested() override { return works == stop_work && progress_reports >= stop_after; }

  // Number of events equal to `event`.
  int count(std::string_view event) const {
    int n = 0;
    for (const auto& e : events) n += e == event ? 1 : 0;
    return n;
  }
  // Index of the first event at or after `from` that begins with `prefix`, or -1.
  int find(std::string_view prefix, int from = 0) const {
    for (int i = from; i < static_cast<int>(events.size()); ++i) {
      if (events[static_cast<std::size_t>(i)].rfind(prefix, 0) == 0) return i;
    }
    return -1;
  }

 private:
  // The dialogue's text since its last line end, and how often each prompt has been answered.
  std::string prompt_;
  std::map<std::string, int> shown_;
  std::map<std::pair<std::string, int>, std::function<void()>> hooks_;

  void log(std::string e) { events.push_back(std::move(e)); }
  int logged(std::string e) {
    log(std::move(e));
    return 0;
  }
  int draw() {
    ++draw_calls;
    if (events.empty() || events.back() != "draw") events.emplace_back("draw");
    return 1;
  }
};

// A fresh directory that is the working directory while the object lives.
class TempWorkDir {
 public:
  TempWorkDir() {
    static int serial = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("mapfit-dialogue-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~TempWorkDir() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempWorkDir(const TempWorkDir&) = delete;
  TempWorkDir& operator=(const TempWorkDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

}  // namespace dialogue::testing
