// The frame's menus: File (Save, Print, Exit), Edit (Copy, Select All), Window (Cascade, Tile,
// the windows) and Help (About). They act on the active console window.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QUrl>

#ifdef MAPFIT_HAVE_PRINT
#include <QPrintDialog>
#include <QPrinter>
#endif

#include "windowing/qt/console_view.h"
#include "windowing/qt/frame_window.h"
#include "windowing/qt/plot_page_view.h"

namespace windowing {
namespace {

// A window with text is saved and printed as its text, a window without as its picture.
bool shows_text(const ConsoleView& view) { return !view.text_buffer()->text().empty(); }

}  // namespace

bool FrameWindow::can_print() {
#ifdef MAPFIT_HAVE_PRINT
  return true;
#else
  return false;
#endif
}

void FrameWindow::build_menus() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  QAction* open = file->addAction(tr("&Open Series..."), this, &FrameWindow::open_series_dialog);
  open->setShortcuts(QKeySequence::Open);
  open->setObjectName(QStringLiteral("open_series"));
  recent_menu_ = file->addMenu(tr("Open &Recent"));
  recent_menu_->setObjectName(QStringLiteral("recent_series"));
  connect(recent_menu_, &QMenu::aboutToShow, this, &FrameWindow::fill_recent_menu);
  fill_recent_menu();
  QAction* save = file->addAction(tr("&Save..."), this, &FrameWindow::save_active);
  save->setShortcuts(QKeySequence::Save);
  save->setObjectName(QStringLiteral("save"));
  if (can_print()) {
    QAction* print = file->addAction(tr("&Print..."), this, &FrameWindow::print_active);
    print->setShortcuts(QKeySequence::Print);
    print->setObjectName(QStringLiteral("print"));
  }
  QAction* export_plot =
      file->addAction(tr("&Export Plot..."), this, &FrameWindow::export_plot_dialog);
  export_plot->setObjectName(QStringLiteral("export_plot"));
  file->addAction(tr("Export &Data..."), this, &FrameWindow::export_data_dialog)
      ->setObjectName(QStringLiteral("export_data"));
  file->addAction(tr("Open &Report"), this, &FrameWindow::open_report)
      ->setObjectName(QStringLiteral("open_report"));
  file->addSeparator();
  QAction* exit = file->addAction(tr("E&xit"), this, &QWidget::close);
  exit->setShortcuts(QKeySequence::Quit);
  exit->setObjectName(QStringLiteral("exit"));

  QMenu* edit = menuBar()->addMenu(tr("&Edit"));
  QAction* copy = edit->addAction(tr("&Copy"), this, &FrameWindow::copy_active);
  copy->setShortcuts(QKeySequence::Copy);
  copy->setObjectName(QStringLiteral("copy"));
  QAction* paste = edit->addAction(tr("&Paste"), this, &FrameWindow::paste_active);
  paste->setShortcuts(QKeySequence::Paste);
  paste->setObjectName(QStringLiteral("paste"));
  QAction* all = edit->addAction(tr("Select &All"), this, &FrameWindow::select_all_active);
  all->setShortcuts(QKeySequence::SelectAll);
  all->setObjectName(QStringLiteral("select_all"));

  QMenu* view = menuBar()->addMenu(tr("&View"));
  QAction* actual = view->addAction(tr("&Actual Pixels"));
  actual->setObjectName(QStringLiteral("actual_pixels"));
  actual->setCheckable(true);
  connect(actual, &QAction::toggled, this, &FrameWindow::set_actual_pixels);
  checks_menu_ = view->addMenu(tr("&Checks"));
  checks_menu_->setObjectName(QStringLiteral("checks_menu"));
  fill_checks_menu();

  window_menu_ = menuBar()->addMenu(tr("&Window"));
  window_menu_->setObjectName(QStringLiteral("window_menu"));
  connect(window_menu_, &QMenu::aboutToShow, this, &FrameWindow::fill_window_menu);
  fill_window_menu();

  QMenu* help = menuBar()->addMenu(tr("&Help"));
  help->addAction(tr("&About"), this, &FrameWindow::about)->setObjectName(QStringLiteral("about"));
}

void FrameWindow::fill_window_menu() {
  window_menu_->clear();
  window_menu_->addAction(tr("&Cascade"), this, &FrameWindow::cascade)
      ->setObjectName(QStringLiteral("cascade"));
  window_menu_->addAction(tr("&Tile"), area_, &QMdiArea::tileSubWindows)
      ->setObjectName(QStringLiteral("tile"));
  const auto windows = area_->subWindowList();
  if (!windows.isEmpty()) window_menu_->addSeparator();
  int n = 0;
  for (QMdiSubWindow* sub : windows) {
    QAction* a = window_menu_->addAction(QStringLiteral("&%1 %2").arg(++n).arg(sub->windowTitle()));
    a->setCheckable(true);
    a->setChecked(sub->isVisible() && sub == area_->activeSubWindow());
    connect(a, &QAction::triggered, this, [this, sub] {
      if (sub->isHidden()) sub->show();
      if (sub->isMinimized()) sub->showNormal();
      area_->setActiveSubWindow(sub);
    });
  }
}

void FrameWindow::fill_checks_menu() {
  checks_menu_->clear();
  checks_menu_->setEnabled(!pages_.empty());
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    checks_menu_->addAction(pages_[i].title, this, [this, i] { open_page(i); });
  }
}

void FrameWindow::export_plot_dialog() {
  QString title;
  const PlotRecording* plot = active_plot(&title);
  if (plot == nullptr) {
    note(tr("No plot in the active window"));
    return;
  }
  QFileDialog dialog(this, tr("Export Plot"));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(
      {tr("SVG drawings(*.svg)"), tr("PDF documents(*.pdf)"), tr("PNG pictures(*.png)")});
  dialog.setDefaultSuffix(QStringLiteral("svg"));
  connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
    dialog.setDefaultSuffix(f.section(QStringLiteral("*."), 1).chopped(1));
  });
  dialog_ = &dialog;
  const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  dialog_ = nullptr;
  if (!accepted) return;
  const QString name = dialog.selectedFiles().front();
  int width = plot->size.width() * 2;
  if (name.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) {
    bool ok = false;
    width = QInputDialog::getInt(this, tr("Export Plot"), tr("Width in pixels:"), width, 16, 20000,
                                 1, &ok);
    if (!ok) return;
  }
  if (!export_plot(*plot, name, title, width)) {
    QMessageBox::warning(this, windowTitle(), tr("Cannot save %1").arg(name));
  } else {
    note(tr("Saved %1").arg(name));
  }
}

void FrameWindow::open_series_dialog() {
  QFileDialog dialog(this, tr("Open Series"));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({tr("Text files(*.txt)"), tr("Data Files(*.dat)"), tr("All Files(*.*)")});
  dialog_ = &dialog;
  const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  dialog_ = nullptr;
  if (accepted) open_series(dialog.selectedFiles().front());
}

namespace {

constexpr auto kRecentKey = "recent_series";

}  // namespace

QStringList FrameWindow::recent_series() const {
  return QSettings().value(kRecentKey).toStringList();
}

QStringList FrameWindow::with_recent(QStringList files, const QString& path) {
  files.removeAll(path);
  files.prepend(path);
  while (files.size() > kRecentSeries) files.removeLast();
  return files;
}

void FrameWindow::remember_series(const QString& file) {
  QSettings().setValue(kRecentKey,
                       with_recent(recent_series(), QFileInfo(file).absoluteFilePath()));
  fill_recent_menu();
}

void FrameWindow::fill_recent_menu() {
  recent_menu_->clear();
  const QStringList files = recent_series();
  for (const QString& path : files) {
    recent_menu_->addAction(QFileInfo(path).fileName(), this, [this, path] { open_series(path); })
        ->setToolTip(path);
  }
  recent_menu_->setEnabled(!files.isEmpty());
}

void FrameWindow::export_data_dialog() {
  if (active_page() == nullptr) {
    note(tr("No check in the active window"));
    return;
  }
  QFileDialog dialog(this, tr("Export Data"));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(tr("CSV files(*.csv)"));
  dialog.setDefaultSuffix(QStringLiteral("csv"));
  dialog_ = &dialog;
  const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  dialog_ = nullptr;
  if (!accepted) return;
  const QString name = dialog.selectedFiles().front();
  if (!export_active_data(name)) {
    QMessageBox::warning(this, windowTitle(), tr("Cannot save %1").arg(name));
  } else {
    note(tr("Saved %1").arg(name));
  }
}

void FrameWindow::open_report() {
  const QString report = QDir::current().absoluteFilePath(QStringLiteral("report.txt"));
  if (!QFile::exists(report) || !QDesktopServices::openUrl(QUrl::fromLocalFile(report))) {
    note(tr("Cannot open %1").arg(report));
  }
}

void FrameWindow::cascade() {
  // Each window keeps its size; the windows step down and right by a title bar's height.
  const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4;
  int n = 0;
  for (QMdiSubWindow* sub : area_->subWindowList(QMdiArea::StackingOrder)) {
    if (sub->isHidden()) continue;
    if (sub->isMaximized() || sub->isMinimized()) sub->showNormal();
    sub->move(n * step, n * step);
    sub->raise();
    ++n;
  }
}

void FrameWindow::paste_active() {
  // Keyboard input belongs to the read that waits, whichever window is in front.
  ConsoleView* v = reading_view();
  if (v == nullptr || !v->paste(QApplication::clipboard()->text())) {
    note(tr("No input is pending"));
  }
}

void FrameWindow::save_active() {
  ConsoleView* v = active_view();
  if (v == nullptr) return;
  const bool text = shows_text(*v);
  QFileDialog dialog(this, tr("Save %1").arg(area_->activeSubWindow()->windowTitle()));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(text ? tr("Text files(*.txt)") : tr("PNG pictures(*.png)"));
  dialog.setDefaultSuffix(text ? QStringLiteral("txt") : QStringLiteral("png"));
  dialog_ = &dialog;
  const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  dialog_ = nullptr;
  if (!accepted) return;
  const QString name = dialog.selectedFiles().front();
  bool saved;
  if (text) {
    QFile file(name);
    saved = file.open(QIODevice::WriteOnly) &&
            file.write(QByteArray::fromStdString(v->text_buffer()->text())) >= 0;
  } else {
    saved = v->picture().save(name, "PNG");
  }
  if (!saved) {
    QMessageBox::warning(this, windowTitle(), tr("Cannot save %1").arg(name));
  } else {
    note(tr("Saved %1").arg(name));
  }
}

void FrameWindow::print_active() {
#ifdef MAPFIT_HAVE_PRINT
  ConsoleView* v = active_view();
  const PlotRecording* plot = active_plot();
  if (v == nullptr && plot == nullptr) return;
  QPrinter printer;
  QPrintDialog dialog(&printer, this);
  dialog_ = &dialog;
  const bool accepted = dialog.exec() == QDialog::Accepted;
  dialog_ = nullptr;
  if (!accepted) return;
  QPainter painter(&printer);
  const QRect page = painter.viewport();
  if (plot != nullptr && !actual_pixels_) {
    // The shapes, drawn for the printer's resolution.
    const QSizeF size = QSizeF(plot->size).scaled(QSizeF(page.size()), Qt::KeepAspectRatio);
    render_plot(painter, *plot, QRectF(QPointF(0, 0), size));
  } else if (v == nullptr) {
    return;
  } else if (shows_text(*v)) {
    painter.setFont(console_font());
    const int line = painter.fontMetrics().lineSpacing();
    int y = line;
    const QStringList lines = QString::fromStdString(v->text_buffer()->text()).split('\n');
    for (const QString& l : lines) {
      if (y > page.height()) {
        printer.newPage();
        y = line;
      }
      painter.drawText(0, y, l);
      y += line;
    }
  } else {
    const QImage& picture = v->picture();
    const QSize size = picture.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.drawImage(QRect(QPoint(0, 0), size), picture);
  }
#endif
}

void FrameWindow::copy_active() {
  ConsoleView* v = active_view();
  if (v == nullptr) return;
  if (v->has_selection()) {
    QApplication::clipboard()->setText(v->selected_text());
  } else if (!shows_text(*v) && !v->picture().isNull()) {
    QApplication::clipboard()->setImage(v->picture());
  } else {
    note(tr("Nothing selected"));
  }
}

void FrameWindow::select_all_active() {
  if (ConsoleView* v = active_view()) v->select_all();
}

void FrameWindow::about() {
  QMessageBox::about(this, tr("About %1").arg(windowTitle()),
                     tr("%1 %2\n\nBuilds a model map of a scalar time series by least squares "
                        "and checks how well it predicts the values after the training part.")
                         .arg(windowTitle(), QStringLiteral(MAPFIT_VERSION)));
}

}  // namespace windowing
