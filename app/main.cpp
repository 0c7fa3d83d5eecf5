// mapfit: builds a model map of a scalar time series and checks how well it predicts.
//
//   mapfit [--terminal] [--plot FILE] [SERIES_FILE ...]
//   mapfit fit|search SERIES [OPTIONS]   (scripting/commands.h)
//
// Exit status: 0 normal end (also "Terminate Program?" answered y), 1 a stop by the numerical
// library or a failure of the report file or of standard output, 2 a usage error, 3 input ended
// before the dialogue.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <deque>
#include <exception>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "dialogue/driver.h"
#include "numlib/stop.h"
#include "plot/window_system.h"
#include "sample_folder.h"
#include "scripting/commands.h"
#include "windowing/terminal_frontend.h"
#ifdef MAPFIT_WITH_QT
#include <cstdlib>

#include "windowing/qt/desktop_session.h"
#endif

namespace {

constexpr int kUsageStatus = 2;
constexpr int kFailureStatus = 1;

constexpr std::string_view kUsage = "Usage: mapfit [--terminal] [--plot FILE] [SERIES_FILE ...]\n";

constexpr std::string_view kHelp =
    "Builds a model map x(n+1) = F(x(n-D+1), ..., x(n)) of a time series by least squares\n"
    "and checks how well it predicts the values after the training part. Every run appends\n"
    "its settings, coefficients and results to report.txt in the working directory.\n"
    "\n"
    "Each SERIES_FILE is taken in turn whenever the dialogue needs a series; when none is\n"
    "left, the program asks for a file name. A series file holds one value per line, read as\n"
    "a 20-character field; digits without a decimal point have 10 implied decimals.\n";

constexpr std::string_view kHelpOptions =
    "\n"
    "Options:\n"
    "  --terminal    run the dialogue in this terminal (standard input and output)\n"
    "  --plot FILE   save the plot of each efficiency check as FILE\n"
    "                (default: model-efficiency.png in the working directory)\n"
    "  --            take every later argument as a series file\n"
    "  -h, --help    show this help and end\n"
    "  --version     show the version and end\n"
    "\n"
    "Exit status: 0 normal end, 1 stopped by a numerical error or a failed report file,\n"
    "2 usage error, 3 input ended before the dialogue did.\n";

// The help, with the folder of sample series when the program runs from an installed tree.
void print_help() {
  std::cout << kUsage << '\n' << kHelp;
  if (const auto samples = app::installed_sample_folder()) {
    std::cout << "Sample series to try: the files in " << samples->string() << '\n';
  }
  std::cout << '\n' << scripting::commands_summary() << kHelpOptions;
}

struct Options {
  bool terminal = false;
  std::string plot_path = "model-efficiency.png";
  std::deque<std::string> series_files;
};

struct UsageError {
  std::string message;
};

Options parse_arguments(int argc, char** argv, bool& finished) {
  Options options;
  bool only_files = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (only_files || arg.size() < 2 || arg.front() != '-') {
      options.series_files.emplace_back(arg);
    } else if (arg == "--") {
      only_files = true;
    } else if (arg == "--help" || arg == "-h") {
      print_help();
      finished = true;
      return options;
    } else if (arg == "--version") {
      std::cout << "mapfit " MAPFIT_VERSION "\n";
      finished = true;
      return options;
    } else if (arg == "--terminal") {
      options.terminal = true;
    } else if (arg == "--plot") {
      if (i + 1 >= argc) throw UsageError{"option --plot needs a file name"};
      options.plot_path = argv[++i];
    } else if (arg.starts_with("--plot=")) {
      options.plot_path = std::string(arg.substr(7));
      if (options.plot_path.empty()) throw UsageError{"option --plot needs a file name"};
    } else {
      throw UsageError{"unknown option: " + std::string(arg)};
    }
  }
  return options;
}

// The dialogue in the terminal the program was started from.
int run_in_terminal(const Options& options) {
  windowing::TerminalFrontend frontend(
      std::cin, std::cout, std::cerr,
      windowing::TerminalFrontend::options_for_standard_streams(options.plot_path));
  int status = 0;
  try {
    plot::INITIALSETTINGS(frontend);
    dialogue::run_dialogue(frontend, options.series_files);
  } catch (const numlib::ProgramStop& stop) {
    status = stop.status;
  }
  // A dialogue that could not be shown is not a normal end, even though the report is whole.
  if (!std::cout.flush() && status == 0) {
    std::cerr << "mapfit: cannot write the standard output" << std::endl;
    status = kFailureStatus;
  }
  return status;
}

// A standard stream that was closed when the program started is opened on /dev/null, so that
// no file opened later (report.txt, the series file) takes its descriptor and receives text
// meant for the screen. A closed standard output makes the output fail, as a failed write does.
void occupy_closed_standard_streams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      // The lower descriptors are open by now, so /dev/null takes this one.
      if (open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd) continue;
      if (fd == 1) std::cout.setstate(std::ios::badbit);
    }
  }
}

#ifdef MAPFIT_WITH_QT
// A display the desktop front end can open: an X or Wayland display, or a Qt platform named
// explicitly (offscreen, for instance).
bool display_available() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// The dialogue in the frame window of the desktop front end; its windows stay until the user
// closes the frame.
int run_on_desktop(int argc, char** argv, const Options& options) {
  return windowing::run_desktop(argc, argv, [&options](plot::WindowSystem& windows) {
    dialogue::run_dialogue(windows, options.series_files);
  });
}
#endif

}  // namespace

int main(int argc, char** argv) {
  occupy_closed_standard_streams();
  // A file-size limit makes a write fail (EFBIG) instead of killing the program, so that
  // report.txt is taken back to its last whole block and the failure reported.
  std::signal(SIGXFSZ, SIG_IGN);
  // mapfit fit ..., mapfit search ...: a command as the first argument.
  if (argc >= 2) {
    if (const scripting::Command command = scripting::find_command(argv[1])) {
      return command(argc - 1, argv + 1);
    }
  }
  Options options;
  try {
    bool finished = false;
    options = parse_arguments(argc, argv, finished);
    if (finished) return 0;
  } catch (const UsageError& error) {
    std::cerr << "mapfit: " << error.message << '\n'
              << kUsage << "Try 'mapfit --help' for more information.\n";
    return kUsageStatus;
  }

  try {
    // The desktop front end when it is built in and a display is available, unless --terminal
    // is given; the terminal otherwise.
#ifdef MAPFIT_WITH_QT
    if (!options.terminal && display_available()) return run_on_desktop(argc, argv, options);
#endif
    return run_in_terminal(options);
  } catch (const std::bad_alloc&) {
    // Storage beyond the fits and the check, which report their own (the training data, the
    // plots): the files are closed by now, with every block written so far.
    std::cout.flush();
    std::cerr << "mapfit: not enough memory\n";
    return kFailureStatus;
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << "mapfit: " << error.what() << '\n';
    return kFailureStatus;
  }
}
