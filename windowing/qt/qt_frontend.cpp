#include "windowing/qt/qt_frontend.h"

#include <QMetaObject>
#include <QString>
#include <iostream>
#include <regex>

#include "numlib/stop.h"
#include "windowing/qt/frame_window.h"

namespace windowing {

QtFrontend::QtFrontend() = default;
QtFrontend::~QtFrontend() = default;

void QtFrontend::post(std::function<void(FrameWindow&)> call) {
  if (frame_ == nullptr) return;
  // The frame is the context: a call still queued when it is destroyed is dropped.
  FrameWindow* frame = frame_;
  QMetaObject::invokeMethod(
      frame, [frame, call = std::move(call)] { call(*frame); }, Qt::QueuedConnection);
}

void QtFrontend::post_refresh(int unit, Refresh what) {
  {
    // One refresh in the queue per unit and kind: a plot makes thousands of changes.
    std::lock_guard lock(refresh_mutex_);
    if (!refresh_pending_.emplace(unit, what).second) return;
  }
  if (what == Refresh::text) {
    post([unit](FrameWindow& f) { f.refresh_text(unit); });
  } else {
    post([unit](FrameWindow& f) { f.refresh_picture(unit); });
  }
}

void QtFrontend::refresh_taken(int unit, Refresh what) {
  std::lock_guard lock(refresh_mutex_);
  refresh_pending_.erase({unit, what});
}

std::shared_ptr<TextBuffer> QtFrontend::text_buffer(int unit) {
  std::lock_guard lock(buffers_mutex_);
  auto& buffer = buffers_[unit];
  if (!buffer) buffer = std::make_shared<TextBuffer>();
  return buffer;
}

void QtFrontend::window_event(int unit, WindowEvent event) {
  switch (event) {
    case WindowEvent::opened:
      post([unit](FrameWindow& f) { f.open_child(unit); });
      break;
    case WindowEvent::placed:
      post([unit](FrameWindow& f) { f.place(unit); });
      break;
    case WindowEvent::targeted:
      break;  // the target is the Console's; nothing shows it
    case WindowEvent::focused:
      post([unit](FrameWindow& f) { f.activate(unit); });
      break;
    case WindowEvent::cleared: {
      PlotRecording fresh;
      with_canvas(unit, [&](const Canvas& c) { fresh.size = QSize(c.width(), c.height()); });
      if (const auto i = info(unit)) fresh.background = i->back_colour;
      {
        std::lock_guard lock(recordings_mutex_);
        recordings_[unit] = std::move(fresh);
      }
      text_buffer(unit)->clear();
      post_refresh(unit, Refresh::text);
      post_refresh(unit, Refresh::picture);
      post([unit](FrameWindow& f) { f.restyle(unit); });
      break;
    }
    case WindowEvent::styled:
      post([unit](FrameWindow& f) { f.restyle(unit); });
      break;
    case WindowEvent::drawn:
      post_refresh(unit, Refresh::picture);
      break;
  }
}

std::optional<QtFrontend::Pen> QtFrontend::pen() const {
  const auto unit = target();
  if (!unit) return std::nullopt;
  Pen p;
  p.unit = *unit;
  if (!with_canvas(*unit, [&](const Canvas& c) {
        p.x = c.pen_x();
        p.y = c.pen_y();
        p.colour = c.draw_colour();
      })) {
    return std::nullopt;
  }
  return p;
}

void QtFrontend::record(PlotShape shape) {
  const auto p = pen();
  if (!p) return;
  shape.colour = p->colour;
  std::lock_guard lock(recordings_mutex_);
  PlotRecording& r = recordings_[p->unit];
  if (r.size.isEmpty()) {
    with_canvas(p->unit, [&](const Canvas& c) { r.size = QSize(c.width(), c.height()); });
  }
  if (shape.kind == PlotShape::Kind::text) shape.font_height = font_heights_[p->unit];
  r.shapes.push_back(std::move(shape));
}

PlotRecording QtFrontend::recording(int unit) const {
  std::lock_guard lock(recordings_mutex_);
  const auto it = recordings_.find(unit);
  return it == recordings_.end() ? PlotRecording{} : it->second;
}

int QtFrontend::SELECTFONT(std::string_view description) {
  const int face = Console::SELECTFONT(description);
  // The height of a description such as "t'Arial'h14w7i".
  static const std::regex height("h([0-9]+)");
  std::match_results<std::string_view::const_iterator> m;
  const auto unit = target();
  if (face > 0 && unit && std::regex_search(description.begin(), description.end(), m, height)) {
    std::lock_guard lock(recordings_mutex_);
    font_heights_[*unit] = std::stoi(m[1].str());
  }
  return face;
}

void QtFrontend::DRAWRECT(int style, std::int16_t x1, std::int16_t y1, std::int16_t x2,
                          std::int16_t y2) {
  PlotShape s;
  s.kind = style == 2 ? PlotShape::Kind::outline : PlotShape::Kind::fill;
  s.x1 = x1;
  s.y1 = y1;
  s.x2 = x2;
  s.y2 = y2;
  record(std::move(s));
  Console::DRAWRECT(style, x1, y1, x2, y2);
}

void QtFrontend::DRAWLINETO(std::int16_t x, std::int16_t y) {
  if (const auto p = pen()) {
    PlotShape s;
    s.x1 = p->x;
    s.y1 = p->y;
    s.x2 = x;
    s.y2 = y;
    record(std::move(s));
  }
  Console::DRAWLINETO(x, y);
}

int QtFrontend::PLOTPIXEL(std::int16_t x, std::int16_t y) {
  PlotShape s;
  s.kind = PlotShape::Kind::pixel;
  s.x1 = s.x2 = x;
  s.y1 = s.y2 = y;
  record(std::move(s));
  return Console::PLOTPIXEL(x, y);
}

void QtFrontend::DRAWTEXT(std::string_view text) {
  const auto before = pen();
  Console::DRAWTEXT(text);
  const auto after = pen();
  if (!before || !after) return;
  // The text spans what the canvas advanced by, whatever face paints it.
  PlotShape s;
  s.kind = PlotShape::Kind::text;
  s.x1 = before->x;
  s.x2 = after->x;
  s.y1 = s.y2 = before->y;
  s.text = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  record(std::move(s));
}

void QtFrontend::describe_picture(int /*unit*/, std::string_view caption) {
  std::lock_guard lock(recordings_mutex_);
  caption_ = std::string(caption);
}

void QtFrontend::picture_numbers(int /*unit*/, std::string_view csv) {
  std::lock_guard lock(recordings_mutex_);
  numbers_ = std::string(csv);
}

void QtFrontend::picture_scale(int /*unit*/, const plot::PictureScale& scale) {
  std::lock_guard lock(recordings_mutex_);
  scale_ = scale;
}

void QtFrontend::picture_done(int unit) {
  auto page = std::make_shared<PlotPage>();
  page->recording = recording(unit);
  {
    std::lock_guard lock(recordings_mutex_);
    ++pictures_;
    std::string title = caption_.empty() ? std::string("picture") : caption_;
    page->title = QString::fromStdString(title + ", check " + std::to_string(pictures_));
    caption_.clear();
    page->numbers = QByteArray::fromStdString(numbers_);
    numbers_.clear();
    page->scale = scale_;
    scale_.reset();
  }
  if (const auto canvas = snapshot(unit)) page->pixels = canvas_image(*canvas);
  post([page](FrameWindow& f) { f.add_page(*page); });
}

void QtFrontend::write_text(int unit, std::string_view text) {
  if (unit == kMessagesUnit) {
    write_messages(text);
    return;
  }
  // Text for a unit without a window has nowhere to go.
  if (!note_io(unit)) return;
  const auto window = info(unit);
  text_buffer(unit)->write(text, window ? window->text_colour : 0);
  post_refresh(unit, Refresh::text);
}

std::string QtFrontend::read_line(int unit) {
  // A unit without a window can never get a typed line.
  if (!note_io(unit) || closing_) throw numlib::ProgramStop{kClosedStatus};
  const auto window = info(unit);
  const auto buffer = text_buffer(unit);
  buffer->begin_read(window ? window->text_colour : 0);
  post_refresh(unit, Refresh::text);
  post([unit](FrameWindow& f) { f.show_input_pending(unit, true); });
  auto line = buffer->wait_line(read_interrupt_);
  post([unit](FrameWindow& f) { f.show_input_pending(unit, false); });
  post_refresh(unit, Refresh::text);
  if (!line) {
    if (closing_) throw numlib::ProgramStop{kClosedStatus};
    std::lock_guard lock(series_mutex_);
    read_interrupt_ = false;
    plot::NewSeriesRequested request{new_series_.value_or(std::string())};
    new_series_.reset();
    // The prompt's line ends, so that the new series' text starts on a line of its own.
    buffer->write("\n", 0);
    throw request;
  }
  return *line;
}

std::string QtFrontend::ask_gui(const std::function<void(FrameWindow&, std::uint64_t)>& show) {
  if (frame_ == nullptr || closing_) throw numlib::ProgramStop{kClosedStatus};
  std::uint64_t id;
  {
    std::lock_guard lock(request_mutex_);
    id = ++request_id_;
    request_answer_.reset();
  }
  post([show, id](FrameWindow& f) { show(f, id); });
  std::unique_lock lock(request_mutex_);
  request_answered_.wait(lock, [this] { return request_answer_.has_value() || closing_; });
  if (!request_answer_) throw numlib::ProgramStop{kClosedStatus};
  std::string answer = std::move(*request_answer_);
  request_answer_.reset();
  return answer;
}

void QtFrontend::answer(std::uint64_t id, std::string answer) {
  {
    std::lock_guard lock(request_mutex_);
    if (id != request_id_) return;  // a request given up on
    request_answer_ = std::move(answer);
  }
  request_answered_.notify_all();
}

std::string QtFrontend::choose_file(std::string_view title) {
  const QString t = QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
  return ask_gui([t](FrameWindow& f, std::uint64_t id) { f.choose_file(id, t); });
}

bool QtFrontend::confirm(std::string_view title, std::string_view text) {
  const QString t = QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
  const QString x = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  return ask_gui([t, x](FrameWindow& f, std::uint64_t id) { f.ask_yes_no(id, t, x); }) == "y";
}

void QtFrontend::work_begins(std::string_view what) {
  stop_ = false;
  progress_done_ = 0;
  progress_total_ = 0;
  const QString w = QString::fromUtf8(what.data(), static_cast<qsizetype>(what.size()));
  post([w](FrameWindow& f) { f.show_work(w); });
}

void QtFrontend::work_ends() {
  const bool stopped = stop_.exchange(false);
  post([stopped](FrameWindow& f) { f.show_work(QString(), stopped); });
}

void QtFrontend::work_progress(std::int64_t done, std::int64_t total) {
  progress_done_ = done;
  progress_total_ = total;
  if (!progress_posted_.exchange(true)) post([](FrameWindow& f) { f.show_progress(); });
}

std::pair<std::int64_t, std::int64_t> QtFrontend::take_progress() {
  progress_posted_ = false;
  return {progress_done_.load(), progress_total_.load()};
}

void QtFrontend::write_messages(std::string_view text) {
  std::cout << text << std::flush;
  text_buffer(kMessagesUnit)->write(text, 0);
  post([](FrameWindow& f) { f.show_messages(); });
}

void QtFrontend::run_ended(int status) {
  post([status](FrameWindow& f) { f.run_finished(status); });
}

void QtFrontend::request_new_series(std::string file) {
  {
    std::lock_guard lock(series_mutex_);
    new_series_ = std::move(file);
    read_interrupt_ = true;
  }
  std::lock_guard lock(buffers_mutex_);
  for (auto& [unit, buffer] : buffers_) buffer->wake();
}

void QtFrontend::close_down() {
  closing_ = true;
  read_interrupt_ = true;
  { std::lock_guard lock(request_mutex_); }
  request_answered_.notify_all();
  std::lock_guard lock(buffers_mutex_);
  for (auto& [unit, buffer] : buffers_) buffer->wake();
}

}  // namespace windowing
