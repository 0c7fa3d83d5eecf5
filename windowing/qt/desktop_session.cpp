#include "windowing/qt/desktop_session.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <algorithm>
#include <cerrno>
#include <iostream>

#include "numlib/progress.h"
#include "numlib/stop.h"
#include "numlib/units.h"
#include "windowing/qt/frame_window.h"
#include "windowing/qt/qt_frontend.h"

namespace windowing {
namespace {

constexpr int kLowestPriority = 19;
// Below normal: the GUI thread stays responsive while the program computes.
constexpr int kDialoguePriorityDrop = 10;

}  // namespace

int lower_thread_priority(int steps) {
  const auto tid = static_cast<id_t>(gettid());
  errno = 0;
  int nice = getpriority(PRIO_PROCESS, tid);
  if (errno != 0) return nice;
  nice = std::min(kLowestPriority, nice + steps);
  setpriority(PRIO_PROCESS, tid, nice);
  return getpriority(PRIO_PROCESS, tid);
}

DesktopSession::DesktopSession(QString frame_title)
    : frontend_(std::make_unique<QtFrontend>()),
      frame_(std::make_unique<FrameWindow>(*frontend_, std::move(frame_title))) {}

DesktopSession::~DesktopSession() {
  end();
  numlib::set_unit_sink(QtFrontend::kMessagesUnit, nullptr);
  // The frame goes first: it holds a reference to the front end.
  frame_.reset();
}

void DesktopSession::start(Program program) {
  plot::INITIALSETTINGS(*frontend_);
  frame_->show_as_placed();
  numlib::set_unit_sink(
      QtFrontend::kMessagesUnit,
      [frontend = frontend_.get()](std::string_view text) { frontend->write_messages(text); });
  thread_ = std::thread([this, program = std::move(program)] {
    lower_thread_priority(kDialoguePriorityDrop);
    int status = 0;
    try {
      program(*frontend_);
    } catch (const numlib::ProgramStop& stop) {
      status = stop.status;
    } catch (const numlib::WorkStopped&) {
      // Work that no step takes back (the wait for report.txt) ends the run as a close does.
      status = QtFrontend::kClosedStatus;
    } catch (const std::exception& error) {
      std::cerr << "mapfit: " << error.what() << '\n';
      status = 1;
    }
    status_ = status;
    finished_ = true;
    frontend_->run_ended(status);
  });
}

void DesktopSession::end() {
  if (!thread_.joinable()) return;
  frontend_->close_down();
  thread_.join();
}

int run_desktop(int& argc, char** argv, Program program) {
  QApplication app(argc, argv);
  // The user's settings (File > Open Recent) are kept under the program's name.
  QCoreApplication::setOrganizationName(QStringLiteral("mapfit"));
  QCoreApplication::setApplicationName(QStringLiteral("mapfit"));
  // The windows belong to the installed menu entry, and show its icon when it is installed.
  QGuiApplication::setDesktopFileName(QStringLiteral(MAPFIT_APP_ID));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(MAPFIT_APP_ID)));
  DesktopSession session;
  session.start(std::move(program));
  QApplication::exec();
  session.end();
  return session.status();
}

}  // namespace windowing
