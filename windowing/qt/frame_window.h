#pragma once
// The frame window of the desktop front end: the console windows as children of an MDI area,
// the status line, and the menus File (Save, Print, Exit), Edit (Copy, Select All), Window
// (Cascade, Tile, the windows) and Help (About). It lives on the GUI thread; the front end
// posts every change of a window to it as a queued call.

#include <QDialog>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <cstdint>
#include <map>
#include <vector>

#include "plot/window_system.h"
#include "windowing/qt/plot_recording.h"

class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QKeyEvent;
class QProgressBar;
class QPushButton;

namespace windowing {

class ConsoleView;
class QtFrontend;

class FrameWindow : public QMainWindow {
  Q_OBJECT

 public:
  // `title` empty: the program file's name without directory and extension.
  explicit FrameWindow(QtFrontend& frontend, QString title = QString());
  ~FrameWindow() override;

  // Shows the frame the way the start-up placement asks (maximized for kind 2).
  void show_as_placed();

  // Calls posted by the front end.
  void open_child(int unit);
  void place(int window);
  void activate(int unit);
  void restyle(int unit);
  void refresh_text(int unit);
  void refresh_picture(int unit);
  void show_input_pending(int unit, bool pending);
  // Work begins (`what`) or ends (empty; `stopped` when it was abandoned).
  void show_work(const QString& what, bool stopped = false);
  void show_progress();
  void show_messages();
  void choose_file(std::uint64_t request, const QString& title);
  void ask_yes_no(std::uint64_t request, const QString& title, const QString& text);
  void run_finished(int status);
  // A finished picture joins the run's pages (View > Checks).
  void add_page(const PlotPage& page);

  // The run's pages and their windows.
  const std::vector<PlotPage>& pages() const { return pages_; }
  QMdiSubWindow* open_page(std::size_t index);
  // The shapes of the active window's plot (a page window, or a console window with shapes),
  // with its title; null when it shows none.
  const PlotRecording* active_plot(QString* title = nullptr) const;
  // The page the active window shows (the plot window: the latest), or null.
  const PlotPage* active_page() const;
  // File > Export Plot without its dialog: by the suffix of `path`.
  bool export_active_plot(const QString& path, int png_width) const;
  // File > Export Data without its dialog: the numbers of the active window's check as CSV.
  bool export_active_data(const QString& path) const;
  void set_actual_pixels(bool actual);

  // The parts, for the menus and for tests.
  QMdiArea* area() const { return area_; }
  QMdiSubWindow* child(int unit) const;
  ConsoleView* view(int unit) const;
  ConsoleView* active_view() const;
  // The window whose read waits, or null.
  ConsoleView* reading_view() const;
  QProgressBar* progress_bar() const { return progress_; }
  QPushButton* stop_button() const { return stop_button_; }
  // Stop button and Esc: abandon the work under way.
  void stop_work();
  // File > Open and a file dropped on the frame: the dialogue starts again with it.
  void open_series(const QString& file);
  // File > Open Recent: the series opened last, newest first (kept in the user's settings).
  QStringList recent_series() const;
  static constexpr int kRecentSeries = 8;
  // The list with `path` put first: once only, at most kRecentSeries entries.
  static QStringList with_recent(QStringList files, const QString& path);
  // The status line's readout of `point` (canvas pixels) of a check's picture: the panel's
  // values there when the check's scales are known, else the pixel; empty between panels.
  static QString readout_text(const PlotPage* page, QPointF point);
  // Triggers the menu action whose shortcut `event` is; false when there is none.
  bool trigger_shortcut(QKeyEvent* event);
  QDialog* open_dialog() const { return dialog_; }

  static bool can_print();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QMdiSubWindow* make_child(int unit, const QString& title);
  void apply_place(QMdiSubWindow* sub, const plot::WINDOWPLACE& place);
  void apply_frame_place(const plot::WINDOWPLACE& place);
  QString state_message() const;
  void update_status();
  // A passing note in the status line; the state's message comes back after it.
  void note(const QString& text);

  // Menus (frame_menus.cpp).
  void build_menus();
  void fill_window_menu();
  void cascade();
  void paste_active();
  void save_active();
  void open_series_dialog();
  void remember_series(const QString& file);
  void fill_recent_menu();
  void export_plot_dialog();
  void export_data_dialog();
  void open_report();
  void fill_checks_menu();
  void show_readout(const PlotPage* page, QPointF point);
  void print_active();
  void copy_active();
  void select_all_active();
  void about();

  QtFrontend& frontend_;
  QMdiArea* area_;
  QMenu* window_menu_ = nullptr;
  QMenu* checks_menu_ = nullptr;
  QMenu* recent_menu_ = nullptr;
  std::vector<PlotPage> pages_;
  bool actual_pixels_ = false;
  QProgressBar* progress_ = nullptr;
  QPushButton* stop_button_ = nullptr;
  std::map<int, QMdiSubWindow*> children_;
  QPointer<QDialog> dialog_;  // the modal dialog open on the dialogue's behalf
  bool shown_ = false;
  QString input_pending_;  // title of the window whose read waits
  QString work_;
  QString finished_;
};

}  // namespace windowing
