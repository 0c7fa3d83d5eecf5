#pragma once
// A run of the program on the desktop: the frame window on the GUI thread and the program's own
// logic on a thread of its own, at a priority below the GUI's.
//
//   QApplication app(argc, argv);
//   DesktopSession session;
//   session.start([&](plot::WindowSystem& w) { dialogue::run_dialogue(w, files); });
//   app.exec();
//   session.end();
//   return session.status();

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "plot/window_system.h"

namespace windowing {

class FrameWindow;
class QtFrontend;

// The program's logic; numlib::ProgramStop ends it with its status.
using Program = std::function<void(plot::WindowSystem&)>;

class DesktopSession {
 public:
  // A QApplication must exist. `frame_title` empty: the program file's name.
  explicit DesktopSession(QString frame_title = QString());
  // Ends the program's thread as end() does.
  ~DesktopSession();
  DesktopSession(const DesktopSession&) = delete;
  DesktopSession& operator=(const DesktopSession&) = delete;

  // Calls the start-up hook INITIALSETTINGS, shows the frame as it asks, sends unit 6 to its
  // window and starts `program` on its own thread. Once only.
  void start(Program program);

  // Ends the program's thread: a wait for input or for a dialog ends with a stop, work in
  // progress is waited for. The windows stay as they are.
  void end();

  bool finished() const { return finished_.load(); }
  // The run's exit status: 0 after a normal end, else the status of the stop.
  int status() const { return status_.load(); }

  FrameWindow& frame() { return *frame_; }
  QtFrontend& frontend() { return *frontend_; }

 private:
  std::unique_ptr<QtFrontend> frontend_;
  std::unique_ptr<FrameWindow> frame_;
  std::thread thread_;
  std::atomic<bool> finished_{false};
  std::atomic<int> status_{0};
};

// The whole desktop program: application, frame, `program` on its thread, the event loop until
// the frame is closed. Returns the run's exit status.
int run_desktop(int& argc, char** argv, Program program);

// Lowers the calling thread's priority by `steps` nice levels (at most to the lowest).
// Returns the thread's nice value afterwards.
int lower_thread_priority(int steps);

}  // namespace windowing
