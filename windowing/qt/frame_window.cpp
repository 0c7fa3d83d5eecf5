#include "windowing/qt/frame_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "plot/plots.h"
#include "windowing/canvas.h"
#include "windowing/qt/console_view.h"
#include "windowing/qt/file_choice.h"
#include "windowing/qt/plot_page_view.h"
#include "windowing/qt/qt_frontend.h"

namespace windowing {
namespace {

constexpr int kMessagesUnit = QtFrontend::kMessagesUnit;

}  // namespace

FrameWindow::FrameWindow(QtFrontend& frontend, QString title)
    : frontend_(frontend), area_(new QMdiArea(this)) {
  if (title.isEmpty()) {
    title = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  }
  setWindowTitle(title);
  area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(area_);
  progress_ = new QProgressBar(this);
  progress_->setMaximumWidth(240);
  progress_->setTextVisible(true);
  progress_->hide();
  stop_button_ = new QPushButton(tr("Stop"), this);
  stop_button_->setObjectName(QStringLiteral("stop"));
  stop_button_->setToolTip(tr("Abandon the work under way (Esc)"));
  stop_button_->setFocusPolicy(Qt::NoFocus);
  stop_button_->hide();
  connect(stop_button_, &QPushButton::clicked, this, &FrameWindow::stop_work);
  statusBar()->addPermanentWidget(progress_);
  statusBar()->addPermanentWidget(stop_button_);
  // A menu's status tips and the passing notes clear the line; the state's message comes back.
  connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& message) {
    if (message.isEmpty())
      QMetaObject::invokeMethod(
          this, [this] { update_status(); }, Qt::QueuedConnection);
  });
  // Esc in a console window stops too (ConsoleView): the shortcut is for the other widgets.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &FrameWindow::stop_work);
  setAcceptDrops(true);
  build_menus();
  frontend_.attach(this);
}

FrameWindow::~FrameWindow() { frontend_.attach(nullptr); }

void FrameWindow::show_as_placed() {
  shown_ = true;
  const auto place = frontend_.frame_place();
  if (place) {
    apply_frame_place(*place);
  } else {
    show();
  }
}

void FrameWindow::apply_frame_place(const plot::WINDOWPLACE& place) {
  switch (place.kind) {
    case 1:
      showMinimized();
      break;
    case 2:
      // Without a window manager a maximized state is only a request: fill the screen too.
      if (QScreen* s = screen()) setGeometry(s->availableGeometry());
      showMaximized();
      break;
    case 4: {
      const QRect r = child_geometry(place, kCell, QSize(), QMargins());
      move(r.topLeft());
      resize(r.size());
      showNormal();
      break;
    }
    default:
      showNormal();
      break;
  }
}

QMdiSubWindow* FrameWindow::child(int unit) const {
  auto it = children_.find(unit);
  return it == children_.end() ? nullptr : it->second;
}

ConsoleView* FrameWindow::view(int unit) const {
  QMdiSubWindow* sub = child(unit);
  return sub ? qobject_cast<ConsoleView*>(sub->widget()) : nullptr;
}

ConsoleView* FrameWindow::reading_view() const {
  for (const auto& [unit, sub] : children_) {
    auto* v = qobject_cast<ConsoleView*>(sub->widget());
    if (v != nullptr && v->text_buffer()->reading()) return v;
  }
  return nullptr;
}

ConsoleView* FrameWindow::active_view() const {
  QMdiSubWindow* sub = area_->activeSubWindow();
  return sub ? qobject_cast<ConsoleView*>(sub->widget()) : nullptr;
}

QMdiSubWindow* FrameWindow::make_child(int unit, const QString& title) {
  auto* view = new ConsoleView(frontend_.text_buffer(unit));
  QMdiSubWindow* sub = area_->addSubWindow(view);
  // The program never closes its windows, and neither may the user: they can be minimised.
  sub->setAttribute(Qt::WA_DeleteOnClose, false);
  sub->installEventFilter(this);
  view->set_key_target([this] { return reading_view(); });
  view->set_on_escape([this] { stop_work(); });
  view->set_shortcuts([this](QKeyEvent* e) { return trigger_shortcut(e); });
  view->set_actual_pixels(actual_pixels_);
  // The live plot window shows the latest check.
  view->set_readout(
      [this](QPointF p) { show_readout(pages_.empty() ? nullptr : &pages_.back(), p); });
  sub->setWindowTitle(title);
  sub->show();
  children_[unit] = sub;
  return sub;
}

void FrameWindow::open_child(int unit) {
  const auto info = frontend_.info(unit);
  if (!info) return;
  const QString title = QString::fromStdString(info->title);
  QMdiSubWindow* sub = child(unit);
  if (sub == nullptr) sub = make_child(unit, title);
  sub->setWindowTitle(title);
  refresh_picture(unit);
  restyle(unit);
}

void FrameWindow::apply_place(QMdiSubWindow* sub, const plot::WINDOWPLACE& place) {
  switch (place.kind) {
    case 1:
      sub->showMinimized();
      return;
    case 2:
      sub->showMaximized();
      return;
    case 4:
      break;
    default:
      sub->showNormal();
      return;
  }
  if (sub->isMinimized() || sub->isMaximized()) sub->showNormal();
  // The decoration around the client area is whatever the style gives the sub-window.
  if (sub->layout()) sub->layout()->activate();
  const QRect inner = sub->widget()->geometry();
  const QMargins decoration(inner.left(), inner.top(), sub->width() - inner.right() - 1,
                            sub->height() - inner.bottom() - 1);
  const int bar = sub->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, sub);
  sub->setGeometry(child_geometry(place, kCell, QSize(bar, bar), decoration));
}

void FrameWindow::place(int window) {
  if (window == plot::FRAMEWINDOW) {
    // Kept until the frame is first shown.
    if (shown_) {
      if (const auto p = frontend_.frame_place()) apply_frame_place(*p);
    }
    return;
  }
  const auto info = frontend_.info(window);
  QMdiSubWindow* sub = child(window);
  if (!info || !info->place || sub == nullptr) return;
  apply_place(sub, *info->place);
}

void FrameWindow::activate(int unit) {
  QMdiSubWindow* sub = child(unit);
  if (sub == nullptr) return;
  if (sub->isHidden()) sub->show();
  if (sub->isMinimized()) sub->showNormal();
  area_->setActiveSubWindow(sub);
  sub->raise();
  sub->widget()->setFocus();
}

void FrameWindow::restyle(int unit) {
  ConsoleView* v = view(unit);
  const auto info = frontend_.info(unit);
  if (v == nullptr || !info) return;
  v->set_style(info->back_colour, info->cursor_shown);
}

void FrameWindow::refresh_text(int unit) {
  frontend_.refresh_taken(unit, QtFrontend::Refresh::text);
  if (ConsoleView* v = view(unit)) v->refresh_text();
}

void FrameWindow::refresh_picture(int unit) {
  // Taken before the copy, so that drawing after the copy posts another refresh.
  frontend_.refresh_taken(unit, QtFrontend::Refresh::picture);
  ConsoleView* v = view(unit);
  if (v == nullptr) return;
  const auto canvas = frontend_.snapshot(unit);
  if (canvas) v->set_picture(canvas_image(*canvas));
  PlotRecording shapes = frontend_.recording(unit);
  if (!shapes.shapes.empty() || !v->recording().shapes.empty()) v->set_recording(std::move(shapes));
}

QString FrameWindow::state_message() const {
  if (!input_pending_.isEmpty()) return QStringLiteral("Input pending in ") + input_pending_;
  if (!work_.isEmpty()) return work_ + QStringLiteral("...");
  return finished_;
}

void FrameWindow::update_status() {
  const QString message = state_message();
  if (statusBar()->currentMessage() != message) statusBar()->showMessage(message);
}

void FrameWindow::note(const QString& text) { statusBar()->showMessage(text, 3000); }

void FrameWindow::show_input_pending(int unit, bool pending) {
  const auto info = frontend_.info(unit);
  input_pending_ = pending && info ? QString::fromStdString(info->title) : QString();
  update_status();
}

void FrameWindow::show_work(const QString& what, bool stopped) {
  work_ = what;
  progress_->setRange(0, 0);  // busy until the first report
  progress_->setVisible(!what.isEmpty());
  stop_button_->setVisible(!what.isEmpty());
  stop_button_->setEnabled(true);
  update_status();
  if (stopped && !frontend_.closing()) note(tr("Stopped"));
}

void FrameWindow::show_progress() {
  const auto [done, total] = frontend_.take_progress();
  if (work_.isEmpty() || total <= 0) return;
  progress_->setRange(0, 1000);
  progress_->setValue(static_cast<int>(1000 * done / total));
}

bool FrameWindow::trigger_shortcut(QKeyEvent* event) {
  if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
    return false;  // typing, not a shortcut
  }
  const QKeySequence typed(event->keyCombination());
  for (QAction* action : findChildren<QAction*>()) {
    if (!action->isEnabled()) continue;
    for (const QKeySequence& key : action->shortcuts()) {
      if (key == typed) {
        action->trigger();
        return true;
      }
    }
  }
  return false;
}

void FrameWindow::open_series(const QString& file) {
  if (frontend_.closing() || finished_.size() > 0) return;
  frontend_.request_new_series(file.toStdString());
  note(tr("Next series: %1").arg(file));
  remember_series(file);
}

namespace {

QString dropped_file(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return QString();
  const QUrl url = data->urls().front();
  return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

void FrameWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!dropped_file(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void FrameWindow::dropEvent(QDropEvent* event) {
  const QString file = dropped_file(event->mimeData());
  if (file.isEmpty()) return;
  event->acceptProposedAction();
  open_series(file);
}

void FrameWindow::stop_work() {
  if (work_.isEmpty()) return;
  frontend_.request_stop();
  stop_button_->setEnabled(false);
}

void FrameWindow::show_messages() {
  QMdiSubWindow* sub = child(kMessagesUnit);
  if (sub == nullptr) {
    sub = make_child(kMessagesUnit, tr("Messages"));
    apply_place(sub, plot::kMessagesPlace);  // over both console windows
    if (ConsoleView* v = view(kMessagesUnit)) v->set_style(15, false);
  }
  if (ConsoleView* v = view(kMessagesUnit)) v->refresh_text();
  activate(kMessagesUnit);
}

void FrameWindow::choose_file(std::uint64_t request, const QString& title) {
  if (frontend_.closing()) return;
  FileChoiceDialog dialog(this, title);
  dialog_ = &dialog;
  const bool chosen = dialog.exec() == QDialog::Accepted;
  dialog_ = nullptr;
  frontend_.answer(request, chosen ? dialog.chosen_name().toStdString() : std::string());
}

void FrameWindow::ask_yes_no(std::uint64_t request, const QString& title, const QString& text) {
  if (frontend_.closing()) return;
  QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Yes | QMessageBox::No, this);
  box.setDefaultButton(QMessageBox::No);
  dialog_ = &box;
  const bool yes = box.exec() == QMessageBox::Yes;
  dialog_ = nullptr;
  frontend_.answer(request, yes ? "y" : "n");
}

void FrameWindow::run_finished(int status) {
  if (frontend_.closing()) return;
  finished_ = QStringLiteral("Program Terminated with exit code %1").arg(status);
  input_pending_.clear();
  work_.clear();
  update_status();
  QMessageBox box(QMessageBox::Question, windowTitle(),
                  finished_ + QStringLiteral("\nExit Window?"), QMessageBox::Yes | QMessageBox::No,
                  this);
  box.setDefaultButton(QMessageBox::No);
  dialog_ = &box;
  const bool yes = box.exec() == QMessageBox::Yes;
  dialog_ = nullptr;
  if (yes) close();
}

void FrameWindow::add_page(const PlotPage& page) {
  pages_.push_back(page);
  fill_checks_menu();
}

QMdiSubWindow* FrameWindow::open_page(std::size_t index) {
  if (index >= pages_.size()) return nullptr;
  auto* view = new PlotPageView(pages_[index]);
  view->set_actual_pixels(actual_pixels_);
  view->set_readout([this, index](QPointF p) { show_readout(&pages_[index], p); });
  QMdiSubWindow* sub = area_->addSubWindow(view);
  sub->setAttribute(Qt::WA_DeleteOnClose, true);
  sub->setWindowTitle(pages_[index].title);
  sub->resize(sub->sizeHint());
  sub->show();
  area_->setActiveSubWindow(sub);
  return sub;
}

const PlotRecording* FrameWindow::active_plot(QString* title) const {
  QMdiSubWindow* sub = area_->activeSubWindow();
  if (sub == nullptr) return nullptr;
  // dynamic_cast: PlotPageView has no meta-object of its own.
  if (auto* page = dynamic_cast<PlotPageView*>(sub->widget())) {
    if (title) *title = page->page().title;
    return &page->page().recording;
  }
  auto* v = qobject_cast<ConsoleView*>(sub->widget());
  if (v == nullptr || v->recording().shapes.empty()) return nullptr;
  if (title) *title = pages_.empty() ? sub->windowTitle() : pages_.back().title;
  return &v->recording();
}

const PlotPage* FrameWindow::active_page() const {
  QMdiSubWindow* sub = area_->activeSubWindow();
  if (sub == nullptr) return nullptr;
  if (auto* page = dynamic_cast<PlotPageView*>(sub->widget())) return &page->page();
  // The plot window shows the latest check.
  auto* v = qobject_cast<ConsoleView*>(sub->widget());
  if (v != nullptr && !v->recording().shapes.empty() && !pages_.empty()) return &pages_.back();
  return nullptr;
}

bool FrameWindow::export_active_data(const QString& path) const {
  const PlotPage* page = active_page();
  if (page == nullptr || page->numbers.isEmpty()) return false;
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
         file.write(page->numbers) == page->numbers.size();
}

bool FrameWindow::export_active_plot(const QString& path, int png_width) const {
  QString title;
  const PlotRecording* plot = active_plot(&title);
  return plot != nullptr && export_plot(*plot, path, title, png_width);
}

void FrameWindow::set_actual_pixels(bool actual) {
  actual_pixels_ = actual;
  for (QMdiSubWindow* sub : area_->subWindowList()) {
    if (auto* v = qobject_cast<ConsoleView*>(sub->widget())) v->set_actual_pixels(actual);
    if (auto* p = dynamic_cast<PlotPageView*>(sub->widget())) p->set_actual_pixels(actual);
  }
}

QString FrameWindow::readout_text(const PlotPage* page, QPointF point) {
  if (page != nullptr && page->scale) {
    const auto r = plot::read_panel(*page->scale, point.x(), point.y());
    if (!r) return QString();
    const auto name = [](std::string_view s) {
      return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    };
    return QStringLiteral("%1: %2 = %3, %4 = %5")
        .arg(name(r->title), name(r->x_name), QString::number(r->x, 'g', 6), name(r->y_name),
             QString::number(r->y, 'g', 6));
  }
  return QStringLiteral("x = %1, y = %2")
      .arg(static_cast<int>(std::floor(point.x())))
      .arg(static_cast<int>(std::floor(point.y())));
}

void FrameWindow::show_readout(const PlotPage* page, QPointF point) {
  const QString text = readout_text(page, point);
  if (!text.isEmpty()) statusBar()->showMessage(text, 2000);
}

bool FrameWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Close && qobject_cast<QMdiSubWindow*>(watched) != nullptr) {
    // The program never closes its windows: the close button hides one, and the Window menu
    // brings it back.
    static_cast<QWidget*>(watched)->hide();
    event->ignore();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void FrameWindow::closeEvent(QCloseEvent* event) {
  // The dialogue's thread stops at its next wait (or now, if it waits); a dialog open for it
  // goes away with the frame.
  frontend_.close_down();
  if (dialog_) dialog_->reject();
  event->accept();
}

}  // namespace windowing
