// The whole program on the desktop, in-process: the dialogue on its own thread, answers typed
// into the Input Window, the plot window, the file-choice dialog and the message boxes driven
// as a user would, and the frame closed at awkward moments.

#include "windowing/qt/desktop_session.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QXmlStreamReader>
#include <QtTest>
#include <cmath>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>

#include "dialogue/driver.h"
#include "numlib/error_stack.h"
#include "numlib/stop.h"
#include "numlib/units.h"
#include "windowing/qt/console_view.h"
#include "windowing/qt/file_choice.h"
#include "windowing/qt/frame_window.h"
#include "windowing/qt/plot_recording.h"
#include "windowing/qt/qt_frontend.h"
#include "windowing/terminal_frontend.h"

using namespace windowing;

namespace {

constexpr int kInput = 10;
constexpr int kPlot = 12;

// One efficiency check on x(k) = 5 + 3 sin(0.7 k), then "no" to every later question.
const QStringList kAnswers = {"150", "2", "1", "1", "y", "10", "5", "3", "n", "n", "n", "n", "n"};

void write_sine(const std::string& name, int n) {
  std::ofstream out(name);
  char line[64];
  for (int k = 1; k <= n; ++k) {
    std::snprintf(line, sizeof line, "%.10f\n", 5.0 + 3.0 * std::sin(0.7 * k));
    out << line;
  }
}

std::string read_file(const std::string& name) {
  std::ifstream in(name);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

Program dialogue_with(std::deque<std::string> files) {
  return [files](plot::WindowSystem& w) { dialogue::run_dialogue(w, files); };
}

// Answers the modal dialogs the program shows, in order. A dialog runs its own event loop inside
// whatever event processing the test is doing, so the answers come from a timer that runs in
// that loop; each step looks at the active modal widget and returns true when it has acted on
// it (by a queued action, so that the timer is free again for a dialog the action opens).
// A dialog that no step takes is closed after a few seconds and counted as a failure, so that a
// failing test cannot hang.
class ModalScript : public QObject {
 public:
  using Step = std::function<bool(QWidget*)>;
  explicit ModalScript(std::vector<Step> steps) : steps_(steps.begin(), steps.end()) {
    connect(&timer_, &QTimer::timeout, this, &ModalScript::poll);
    timer_.start(10);
  }
  bool wait(int timeout = 20000) {
    return QTest::qWaitFor([this] { return steps_.empty() || failed_; }, timeout) && !failed_;
  }
  int left() const { return static_cast<int>(steps_.size()); }

 private:
  void poll() {
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr || w == acted_on_) return;
    if (!steps_.empty() && steps_.front()(w)) {
      steps_.pop_front();
      acted_on_ = w;
      seen_ = nullptr;
      return;
    }
    if (w != seen_) {
      seen_ = w;
      since_.start();
    } else if (since_.elapsed() > 5000) {
      qWarning("unexpected modal dialog %s", qPrintable(w->windowTitle()));
      failed_ = true;
      QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
    }
  }

  std::deque<Step> steps_;
  QTimer timer_;
  QPointer<QWidget> acted_on_;
  QPointer<QWidget> seen_;
  QElapsedTimer since_;
  bool failed_ = false;
};

// A step for a message box: `check` looks at it, then `button` is clicked.
template <class Check>
ModalScript::Step box_step(QMessageBox::StandardButton button, Check check) {
  return [button, check](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (box == nullptr) return false;
    check(box);
    QTimer::singleShot(0, box->button(button), &QAbstractButton::click);
    return true;
  };
}

template <class Check>
ModalScript::Step file_step(Check act) {
  return [act](QWidget* w) {
    auto* dialog = qobject_cast<FileChoiceDialog*>(w);
    if (dialog == nullptr) return false;
    act(dialog);
    return true;
  };
}

}  // namespace

class DesktopSessionTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  std::filesystem::path previous_;
  QTemporaryDir settings_dir_;

  // Types one answer once the Input Window waits for it.
  bool answer(DesktopSession& s, const QString& text) {
    auto buffer = s.frontend().text_buffer(kInput);
    ConsoleView* view = nullptr;
    if (!QTest::qWaitFor([&] { return buffer->reading() && (view = s.frame().view(kInput)); },
                         10000)) {
      return false;
    }
    QTest::keyClicks(view, text);
    QTest::keyClick(view, Qt::Key_Return);
    return true;
  }

  // The same answers in the terminal front end, in a directory of their own.
  static std::string terminal_transcript(const std::string& series, const QStringList& answers) {
    std::istringstream in(answers.join('\n').toStdString() + "\n");
    std::ostringstream out, err;
    TerminalOptions options;
    options.echo_input = true;
    options.plot_path = "terminal.png";
    TerminalFrontend terminal(in, out, err, options);
    numlib::reset_error_stack();
    try {
      plot::INITIALSETTINGS(terminal);
      dialogue::run_dialogue(terminal, {series});
    } catch (const numlib::ProgramStop&) {
    }
    return out.str();
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_->path().toStdString());
    write_sine("sine.txt", 200);
    numlib::reset_error_stack();
  }
  void cleanup() {
    std::filesystem::current_path(previous_);
    dir_.reset();
  }

  // The kept page of the one check, its shapes at two sizes, its window and its exports.
  void check_plot_pages(DesktopSession& s, const QImage& png) {
    QTRY_COMPARE(s.frame().pages().size(), std::size_t{1});
    const PlotPage& page = s.frame().pages().front();
    QCOMPARE(page.title, QString("D=2, polynomial nu=1, Ntrain=150, check 1"));
    // The check gave its scales: the readout names a panel's values.
    QVERIFY(page.scale && page.scale->vmax > page.scale->vmin && page.scale->ltest > 0);
    QCOMPARE(FrameWindow::readout_text(&page, QPointF(275, 550)),
             QString("Prediction error: n = 0, e = 0"));
    QCOMPARE(page.pixels.convertToFormat(QImage::Format_RGB888), png);
    const PlotRecording& shapes = page.recording;
    QCOMPARE(shapes.size, QSize(540, 580));
    // At the canvas's size and at twice it, every outline of a panel falls on its scaled place.
    int outlines = 0;
    for (const int scale : {1, 2}) {
      QImage image(540 * scale, 580 * scale, QImage::Format_RGB32);
      QPainter painter(&image);
      render_plot(painter, shapes, QRectF(image.rect()));
      painter.end();
      outlines = 0;
      for (const PlotShape& shape : shapes.shapes) {
        if (shape.kind != PlotShape::Kind::outline) continue;
        ++outlines;
        const QPoint mid(((shape.x1 + shape.x2) / 2) * scale + scale / 2,
                         shape.y1 * scale + scale / 2);
        QVERIFY2(qGray(image.pixel(mid)) < 160, qPrintable(QString::number(scale)));
        QCOMPARE(qGray(image.pixel(mid + QPoint(0, 3 * scale))) > 160,
                 qGray(png.pixel(mid / scale + QPoint(0, 3))) > 160);
      }
    }
    QVERIFY(outlines >= 4);

    QMdiSubWindow* sub = s.frame().open_page(0);
    QVERIFY(sub != nullptr);
    QCOMPARE(sub->windowTitle(), page.title);
    QCOMPARE(s.frame().area()->activeSubWindow(), sub);
    QVERIFY(s.frame().export_active_plot("plot.svg", 0));
    QVERIFY(s.frame().export_active_plot("plot.pdf", 0));
    QVERIFY(s.frame().export_active_plot("plot.png", 1620));
    QVERIFY(!s.frame().export_active_plot("plot.gif", 0));
    QFile svg("plot.svg");
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&svg);
    QStringList texts;
    int drawn = 0;
    while (!xml.atEnd()) {
      if (xml.readNext() != QXmlStreamReader::StartElement) continue;
      if (xml.name() == u"text") texts << xml.readElementText().trimmed();
      if (xml.name() == u"path" || xml.name() == u"polyline" || xml.name() == u"rect") ++drawn;
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    for (const char* title : {"Original phase orbit", "Model phase orbit",
                              "Original and model time series", "Prediction error"}) {
      QVERIFY2(texts.contains(title), title);
    }
    QVERIFY(drawn >= outlines);
    // The numbers of the panels: the test series of 4 * 3 + 10 + 2 + 1 = 25 values has 23 delay
    // vectors with a successor (D = 2): 22 points of each orbit, 11 of each series (Ltest + 1),
    // 10 errors.
    QVERIFY(s.frame().export_active_data("check.csv"));
    QFile csv("check.csv");
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.front(), QString("panel,index,x,y"));
    std::map<QString, int> rows;
    for (const QString& line : lines.mid(1)) {
      QCOMPARE(line.count(','), 3);
      ++rows[line.section(',', 0, 0)];
    }
    QCOMPARE(rows, (std::map<QString, int>{{"original phase orbit", 22},
                                           {"model phase orbit", 22},
                                           {"original series", 11},
                                           {"model series", 11},
                                           {"prediction error", 10}}));
    QCOMPARE(lines.back(), QString("prediction error,10,10,%1").arg(lines.back().section(',', 3)));
    QFile pdf("plot.pdf");
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.read(5) == "%PDF-");
    QCOMPARE(QImage("plot.png").size(), QSize(1620, 1740));
    sub->close();
    QTRY_VERIFY(s.frame().area()->activeSubWindow() != sub);
    s.frame().activate(kInput);
  }

  void wholeDialogueThroughTheWidgets() {
    std::filesystem::create_directory("terminal");
    std::filesystem::current_path("terminal");
    const std::string expected = terminal_transcript("../sine.txt", kAnswers);
    std::filesystem::current_path("..");
    QVERIFY(expected.find(" Prediction time:   10\n") != std::string::npos);

    DesktopSession s(QStringLiteral("mapfit"));
    s.start(dialogue_with({"sine.txt"}));
    QCOMPARE(s.frame().windowTitle(), QString("mapfit"));
    QVERIFY(s.frame().isMaximized());
    QVERIFY(answer(s, kAnswers[0]));
    // A read waits: the status line says where.
    QVERIFY(answer(s, kAnswers[1]));
    QTRY_COMPARE(s.frame().statusBar()->currentMessage(), QString("Input pending in Input Window"));
    for (int i = 2; i < 8; ++i) QVERIFY(answer(s, kAnswers[i]));

    // At question 8 the picture is complete: the window shows the canvas pixel for pixel,
    // and the canvas is the picture the terminal saved.
    QTRY_VERIFY(s.frontend().text_buffer(kInput)->reading() && s.frame().view(kPlot));
    ConsoleView* plot = s.frame().view(kPlot);
    QVERIFY(plot != nullptr);
    QCOMPARE(s.frame().child(kPlot)->windowTitle(), QString("Model efficiency"));
    const QImage png =
        QImage(QStringLiteral("terminal/terminal.png")).convertToFormat(QImage::Format_RGB888);
    QCOMPARE(png.size(), QSize(540, 580));
    QTRY_COMPARE(plot->picture().convertToFormat(QImage::Format_RGB888), png);
    // The window paints the shapes at its size; View > Actual Pixels shows the pixel picture.
    QTRY_VERIFY(plot->shows_shapes());
    QAction* actual = s.frame().findChild<QAction*>("actual_pixels");
    actual->setChecked(true);
    const QImage shown = plot->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB888);
    QCOMPARE(shown.copy(0, 0, 540, 580), png);
    actual->setChecked(false);
    QVERIFY(plot->shows_shapes());
    check_plot_pages(s, png);

    // Both windows where the program placed them, side by side, the picture without scrolling.
    QMdiSubWindow* input = s.frame().child(kInput);
    QCOMPARE(input->windowTitle(), QString("Input Window"));
    QCOMPARE(input->pos(), QPoint(0, 0));
    QCOMPARE(s.frame().child(kPlot)->pos(), QPoint(50 * kCell.width, 0));
    QVERIFY(input->geometry().right() < s.frame().child(kPlot)->geometry().left());
    QVERIFY(plot->viewport()->width() >= 47 * kCell.width);
    QVERIFY(plot->viewport()->height() >= 31 * kCell.height);
    // The scroll bars follow the final size once the pending layout events are processed.
    QTRY_VERIFY(!plot->verticalScrollBar()->isVisible());
    QTRY_VERIFY(!plot->horizontalScrollBar()->isVisible());
    // The last write went to the dialogue window, which is in front.
    QCOMPARE(s.frame().area()->activeSubWindow(), input);

    QString text;
    bool no_default = false;
    ModalScript script({box_step(QMessageBox::No, [&](QMessageBox* box) {
      text = box->text();
      no_default = box->defaultButton() == box->button(QMessageBox::No);
    })});
    for (int i = 8; i < kAnswers.size(); ++i) QVERIFY(answer(s, kAnswers[i]));
    QVERIFY(script.wait());
    QCOMPARE(text, QString("Program Terminated with exit code 0\nExit Window?"));
    QVERIFY(no_default);
    QCOMPARE(QString::fromStdString(s.frontend().text_buffer(kInput)->text()),
             QString::fromStdString(expected));
    QVERIFY(s.finished());
    QCOMPARE(s.status(), 0);
    // No keeps the windows.
    QVERIFY(s.frame().isVisible());
    QCOMPARE(s.frame().statusBar()->currentMessage(),
             QString("Program Terminated with exit code 0"));
    QCOMPARE(read_file("report.txt"), read_file("terminal/report.txt"));
  }

  void yesToTheLastQuestionClosesTheFrame() {
    DesktopSession s(QStringLiteral("mapfit"));
    ModalScript script({box_step(QMessageBox::Yes, [](QMessageBox*) {})});
    s.start([](plot::WindowSystem&) {});
    QVERIFY(script.wait());
    QTRY_VERIFY(!s.frame().isVisible());
    QVERIFY(s.frontend().closing());
  }

  void menus() {
    DesktopSession s(QStringLiteral("mapfit"));
    QStringList titles;
    for (QAction* a : s.frame().menuBar()->actions()) titles << a->text();
    QCOMPARE(titles, (QStringList{"&File", "&Edit", "&View", "&Window", "&Help"}));
    for (const char* name :
         {"open_series", "save", "exit", "copy", "paste", "select_all", "export_plot",
          "export_data", "open_report", "actual_pixels", "cascade", "tile", "about"}) {
      QVERIFY2(s.frame().findChild<QAction*>(name) != nullptr, name);
    }
    QCOMPARE(s.frame().findChild<QAction*>("print") != nullptr, FrameWindow::can_print());
  }

  void frameTitleIsTheProgramName() {
    DesktopSession s;
    QCOMPARE(s.frame().windowTitle(), QString("qt_desktop_session_test"));
  }

  void closingDuringAReadEndsTheRunWithTheReportIntact() {
    DesktopSession s(QStringLiteral("mapfit"));
    s.start(dialogue_with({"sine.txt"}));
    QVERIFY(answer(s, "150"));
    QVERIFY(answer(s, "2"));
    QTRY_VERIFY(s.frontend().text_buffer(kInput)->reading());
    s.frame().close();
    QTRY_VERIFY(s.finished());
    QCOMPARE(s.status(), QtFrontend::kClosedStatus);
    s.end();
    const std::string report = read_file("report.txt");
    QVERIFY2(report.find(" The number of values in a training time series Ntrain =    150\n") !=
                 std::string::npos,
             report.c_str());
    QVERIFY2(report.find(" Dimension of a model map D =  2\n") != std::string::npos,
             report.c_str());
    // No question after a close.
    QTest::qWait(50);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
  }

  void closingWhileTheProgramComputesWaitsForIt() {
    std::atomic<bool> release{false};
    std::atomic<bool> reached_read{false};
    DesktopSession s(QStringLiteral("mapfit"));
    s.start([&](plot::WindowSystem& w) {
      w.OPENWINDOW(kInput, "Input Window", true);
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      w.write_text(kInput, " done\n");
      reached_read = true;
      w.read_line(kInput);
      w.write_text(kInput, " never\n");
    });
    s.frame().close();
    QTest::qWait(50);
    QVERIFY(!s.finished());
    release = true;
    s.end();
    QVERIFY(reached_read);
    QVERIFY(s.finished());
    QCOMPARE(s.status(), QtFrontend::kClosedStatus);
    QCOMPARE(QString::fromStdString(s.frontend().text_buffer(kInput)->text()), QString(" done\n"));
  }

  void fileDialogAndTerminateQuestion() {
    const auto cwd = std::filesystem::current_path();
    QString title, filter, box_title, box_text;
    QStringList filters;
    bool own = false, parent = false, warning = false, no_default = false;
    DesktopSession s(QStringLiteral("mapfit"));
    ModalScript script({
        file_step([&](FileChoiceDialog* d) {
          title = d->windowTitle();
          filters = d->nameFilters();
          filter = d->selectedNameFilter();
          own = d->testOption(QFileDialog::DontUseNativeDialog);
          parent = d->parentWidget() == &s.frame();
          d->setDirectory(QDir::rootPath());
          QMetaObject::invokeMethod(d, "reject", Qt::QueuedConnection);
        }),
        box_step(QMessageBox::No,
                 [&](QMessageBox* box) {
                   box_title = box->windowTitle();
                   box_text = box->text();
                   warning = box->icon() == QMessageBox::Warning;
                   no_default = box->defaultButton() == box->button(QMessageBox::No);
                 }),
        // No: the dialog again; this time a file is chosen.
        file_step([](FileChoiceDialog* d) {
          d->selectFile(QDir::current().absoluteFilePath("sine.txt"));
          QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
        }),
    });
    s.start(dialogue_with({}));
    QVERIFY(script.wait());
    QCOMPARE(title, QString("Open: Select File for Unit 1"));
    QCOMPARE(filters, (QStringList{"Text files(*.txt)", "Data Files(*.dat)", "All Files(*.*)"}));
    QCOMPARE(filter, QString("Text files(*.txt)"));
    QVERIFY(own);
    QVERIFY(parent);
    QCOMPARE(box_title, QString("File Open Error"));
    QCOMPARE(box_text, QString("A File Must be Selected\n\nTerminate Program?"));
    QVERIFY(warning);
    QVERIFY(no_default);
    QTRY_VERIFY(s.frontend().text_buffer(kInput)->reading());
    QCOMPARE(QString::fromStdString(s.frontend().text_buffer(kInput)->text()),
             QString(" The time series contains   200 values\n"
                     " 1) Length of a training series: Ntrain = "));
    // The dialog moved to / but the program's working directory is where it was.
    QCOMPARE(std::filesystem::current_path(), cwd);
    s.frame().close();
    s.end();
    QCOMPARE(s.status(), QtFrontend::kClosedStatus);
  }

  void yesToTerminateEndsTheRun() {
    QString last;
    DesktopSession s(QStringLiteral("mapfit"));
    ModalScript script({
        file_step([](FileChoiceDialog* d) {
          QMetaObject::invokeMethod(d, "reject", Qt::QueuedConnection);
        }),
        box_step(QMessageBox::Yes, [](QMessageBox*) {}),
        box_step(QMessageBox::No, [&](QMessageBox* box) { last = box->text(); }),
    });
    s.start(dialogue_with({}));
    QVERIFY(script.wait());
    QVERIFY(s.finished());
    QCOMPARE(s.status(), 0);
    QCOMPARE(last, QString("Program Terminated with exit code 0\nExit Window?"));
  }

  void newFileNameIsConfirmedThenCreatedEmpty() {
    const QString name = QDir::current().absoluteFilePath("new.dat");
    QString question;
    bool no_default = false, created_after_no = true;
    DesktopSession s(QStringLiteral("mapfit"));
    ModalScript script({
        file_step([&](FileChoiceDialog* d) {
          d->selectFile(name);
          QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
        }),
        box_step(QMessageBox::No,
                 [&](QMessageBox* box) {
                   question = box->text();
                   no_default = box->defaultButton() == box->button(QMessageBox::No);
                 }),
        // Declined: nothing created, the same dialog stays.
        file_step([&](FileChoiceDialog* d) {
          created_after_no = QFile::exists(name);
          QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
        }),
        box_step(QMessageBox::Yes, [](QMessageBox*) {}),
        // Created empty; the dialogue refuses a file of fewer than two values and asks again.
        file_step([&](FileChoiceDialog*) { s.frame().close(); }),
    });
    s.start(dialogue_with({}));
    QVERIFY(script.wait());
    QCOMPARE(question, FileChoiceDialog::create_question(name));
    QVERIFY(no_default);
    QVERIFY(!created_after_no);
    QVERIFY(QFile::exists(name));
    QCOMPARE(QFileInfo(name).size(), 0);
    // Closing the frame with the dialog open ends the run and the dialog.
    QTRY_VERIFY(s.finished());
    QCOMPARE(s.status(), QtFrontend::kClosedStatus);
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
  }

  void libraryMessagesGoToTheirWindowAndStandardOutput() {
    std::ostringstream captured;
    auto* previous = std::cout.rdbuf(captured.rdbuf());
    QString last;
    DesktopSession s(QStringLiteral("mapfit"));
    ModalScript script({box_step(QMessageBox::No, [&](QMessageBox* box) { last = box->text(); })});
    s.start([](plot::WindowSystem& w) {
      w.OPENWINDOW(kInput, "Input Window", true);
      numlib::write_unit(numlib::kStandardOutputUnit, " *** FATAL ERROR 2 IN DLQRRR\n");
      throw numlib::ProgramStop{1};
    });
    const bool answered = script.wait();
    std::cout.rdbuf(previous);
    QVERIFY(answered);
    QCOMPARE(last, QString("Program Terminated with exit code 1\nExit Window?"));
    QCOMPARE(s.status(), 1);
    ConsoleView* messages = s.frame().view(QtFrontend::kMessagesUnit);
    QVERIFY(messages != nullptr);
    QCOMPARE(QString::fromStdString(messages->text_buffer()->text()),
             QString(" *** FATAL ERROR 2 IN DLQRRR\n"));
    QVERIFY(messages->isVisible());
    QCOMPARE(captured.str(), std::string(" *** FATAL ERROR 2 IN DLQRRR\n"));
  }

  void programRunsBelowTheGuiPriority() {
    errno = 0;
    const int gui = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    std::atomic<int> seen{-100};
    std::atomic<bool> other_thread{false};
    const auto gui_thread = std::this_thread::get_id();
    DesktopSession s(QStringLiteral("mapfit"));
    ModalScript script({box_step(QMessageBox::No, [](QMessageBox*) {})});
    s.start([&](plot::WindowSystem&) {
      other_thread = std::this_thread::get_id() != gui_thread;
      seen = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    });
    QVERIFY(script.wait());
    QVERIFY(other_thread);
    QCOMPARE(seen.load(), std::min(19, gui + 10));
    // The GUI thread keeps its own.
    QCOMPARE(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())), gui);
  }

  // The two console windows of the dialogue, then one read in the Input Window.
  static Program two_windows_and_a_read(std::string& line) {
    return [&line](plot::WindowSystem& w) {
      w.OPENWINDOW(kInput, "Input Window", true);
      w.PLACEWINDOW(kInput, plot::WINDOWPLACE{4, 0, 0, 31, 47});
      w.OPENWINDOW(kPlot, "Model efficiency", false);
      w.PLACEWINDOW(kPlot, plot::WINDOWPLACE{4, 50, 0, 31, 47});
      w.write_text(kInput, " one\n two\n N = ");
      line = w.read_line(kInput);
    };
  }

  void closeButtonHidesAndTheWindowMenuBringsBack() {
    std::string line;
    DesktopSession s(QStringLiteral("mapfit"));
    s.start(two_windows_and_a_read(line));
    QTRY_VERIFY(s.frontend().text_buffer(kInput)->reading() && s.frame().child(kPlot));
    QMdiSubWindow* plot = s.frame().child(kPlot);
    QVERIFY(!plot->close());
    QVERIFY(plot->isHidden());
    QCOMPARE(s.frame().child(kPlot), plot);  // kept, not deleted
    auto* menu = s.frame().findChild<QMenu*>("window_menu");
    QVERIFY(menu != nullptr);
    emit menu->aboutToShow();
    QAction* entry = nullptr;
    for (QAction* a : menu->actions()) {
      if (a->text().endsWith("Model efficiency")) entry = a;
    }
    QVERIFY(entry != nullptr);
    entry->trigger();
    QVERIFY(plot->isVisible());
    s.frame().close();
  }

  void cascadeKeepsEachWindowsSize() {
    std::string line;
    DesktopSession s(QStringLiteral("mapfit"));
    s.start(two_windows_and_a_read(line));
    QTRY_VERIFY(s.frontend().text_buffer(kInput)->reading() && s.frame().child(kPlot));
    QTest::qWait(20);
    const QSize input = s.frame().child(kInput)->size();
    const QSize plot = s.frame().child(kPlot)->size();
    QVERIFY(input.width() > 500);
    s.frame().findChild<QAction*>("cascade")->trigger();
    QCOMPARE(s.frame().child(kInput)->size(), input);
    QCOMPARE(s.frame().child(kPlot)->size(), plot);
    QVERIFY(s.frame().child(kInput)->pos() != s.frame().child(kPlot)->pos());
    s.frame().close();
  }

  void statusLineKeepsTheStateAndKeysGoToTheRead() {
    std::string line;
    DesktopSession s(QStringLiteral("mapfit"));
    s.start(two_windows_and_a_read(line));
    QTRY_VERIFY(s.frontend().text_buffer(kInput)->reading() && s.frame().view(kPlot));
    const QString pending("Input pending in Input Window");
    QTRY_COMPARE(s.frame().statusBar()->currentMessage(), pending);
    // What an opened menu does to the line: an empty status tip.
    QStatusTipEvent tip{QString()};
    QApplication::sendEvent(&s.frame(), &tip);
    QTRY_COMPARE(s.frame().statusBar()->currentMessage(), pending);
    s.frame().statusBar()->clearMessage();
    QTRY_COMPARE(s.frame().statusBar()->currentMessage(), pending);
    // Keys typed into the plot window end up in the read.
    ModalScript script({box_step(QMessageBox::No, [](QMessageBox*) {})});
    QTest::keyClicks(s.frame().view(kPlot), "42");
    QTest::keyClick(s.frame().view(kPlot), Qt::Key_Return);
    QVERIFY(script.wait());
    QVERIFY(s.finished());
    QCOMPARE(line, std::string("42"));
  }

  void standardShortcutsCopyAndPaste_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("key");
    QTest::newRow("copy") << "copy" << int(QKeySequence::Copy);
    QTest::newRow("select all") << "select_all" << int(QKeySequence::SelectAll);
    QTest::newRow("paste") << "paste" << int(QKeySequence::Paste);
    QTest::newRow("save") << "save" << int(QKeySequence::Save);
    QTest::newRow("exit") << "exit" << int(QKeySequence::Quit);
    if (FrameWindow::can_print()) QTest::newRow("print") << "print" << int(QKeySequence::Print);
  }
  void standardShortcutsCopyAndPaste() {
    QFETCH(QString, action);
    QFETCH(int, key);
    std::string line;
    DesktopSession s(QStringLiteral("mapfit"));
    auto* a = s.frame().findChild<QAction*>(action);
    QVERIFY(a != nullptr);
    QCOMPARE(a->shortcuts(),
             QKeySequence::keyBindings(static_cast<QKeySequence::StandardKey>(key)));
    if (action != "copy") return;
    // Ctrl+A, Ctrl+C in the Input Window copy its text; Ctrl+V puts a line into the read.
    s.start(two_windows_and_a_read(line));
    QTRY_VERIFY(s.frontend().text_buffer(kInput)->reading() && s.frame().view(kInput));
    s.frame().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&s.frame()));
    ConsoleView* input = s.frame().view(kInput);
    s.frame().activate(kInput);
    QApplication::clipboard()->setText("unchanged");
    QTest::keyClick(input, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(input, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString(" one\n two\n N = "));
    // A key that reaches the window itself (no window manager: the frame is never active, and
    // Qt leaves its shortcuts alone) still does the menu's action.
    QApplication::clipboard()->setText("unchanged");
    for (Qt::Key letter : {Qt::Key_A, Qt::Key_C}) {
      QKeyEvent press(QEvent::KeyPress, letter, Qt::ControlModifier);
      QApplication::sendEvent(input, &press);
    }
    QCOMPARE(QApplication::clipboard()->text(), QString(" one\n two\n N = "));
    QApplication::clipboard()->setText("150\n2\n");
    QTest::keyClick(input, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(QString::fromStdString(s.frontend().text_buffer(kInput)->picture().input),
             QString("150"));
    ModalScript script({box_step(QMessageBox::No, [](QMessageBox*) {})});
    QTest::keyClick(input, Qt::Key_Return);
    QVERIFY(script.wait());
    QVERIFY(s.finished());
    QCOMPARE(line, std::string("150"));
  }

  // Settings of the tests' own, in a folder that goes with them.
  void initTestCase() {
    QCoreApplication::setOrganizationName(QStringLiteral("mapfit-tests"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
    QSettings().clear();
  }

  void recentSeriesComeNewestFirstOnceEachAndAtMostEight_data() {
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("empty") << QStringList{} << "/a" << QStringList{"/a"};
    QTest::newRow("again") << QStringList{"/b", "/a", "/c"} << "/a"
                           << QStringList{"/a", "/b", "/c"};
    QTest::newRow("full") << QStringList{"/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8"} << "/9"
                          << QStringList{"/9", "/1", "/2", "/3", "/4", "/5", "/6", "/7"};
  }
  void recentSeriesComeNewestFirstOnceEachAndAtMostEight() {
    QFETCH(QStringList, before);
    QFETCH(QString, opened);
    QFETCH(QStringList, after);
    QCOMPARE(FrameWindow::with_recent(before, opened), after);
  }

  // The status line's readout over a check's picture: the panel's values where the check gave
  // its scales, the pixel where it did not, nothing between the panels.
  void readoutNamesThePanelAndItsValues_data() {
    QTest::addColumn<bool>("scaled");
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<QString>("text");
    QTest::newRow("error panel") << true << QPointF(325, 400)
                                 << "Prediction error: n = 10, e = 0.75";
    QTest::newRow("orbit") << true << QPointF(135, 150)
                           << "Original phase orbit: X1(n) = 0.5, X1(n+1) = 0.5";
    QTest::newRow("between") << true << QPointF(255, 150) << "";
    QTest::newRow("no scales") << false << QPointF(12.7, 34.2) << "x = 12, y = 34";
  }
  void readoutNamesThePanelAndItsValues() {
    QFETCH(bool, scaled);
    QFETCH(QPointF, point);
    QFETCH(QString, text);
    PlotPage page;
    if (scaled) page.scale = plot::PictureScale{0.0, 1.0, 40};
    QCOMPARE(FrameWindow::readout_text(&page, point), text);
  }

  // File > Open or a dropped file during a read: the series ends as "y" to question 12 ends it,
  // and the dialogue starts again with the new file.
  void anotherSeriesStartsAgain_data() {
    QTest::addColumn<bool>("dropped");
    QTest::newRow("File > Open") << false;
    QTest::newRow("dropped on the frame") << true;
  }
  void anotherSeriesStartsAgain() {
    QFETCH(bool, dropped);
    write_sine("other.txt", 300);
    const QString other = QDir::current().absoluteFilePath("other.txt");
    DesktopSession s(QStringLiteral("mapfit"));
    s.start(dialogue_with({"sine.txt"}));
    QVERIFY(answer(s, "150"));
    auto buffer = s.frontend().text_buffer(kInput);
    QTRY_VERIFY(buffer->reading());
    if (dropped) {
      QMimeData data;
      data.setUrls({QUrl::fromLocalFile(other)});
      QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&s.frame(), &enter);
      QVERIFY(enter.isAccepted());
      QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&s.frame(), &drop);
    } else {
      s.frame().open_series(other);
    }
    QTRY_VERIFY(QString::fromStdString(buffer->text()).contains("contains   300 values"));
    // File > Open Recent has it first, and opens it again from there.
    QCOMPARE(s.frame().recent_series().value(0), other);
    auto* recent = s.frame().findChild<QMenu*>(QStringLiteral("recent_series"));
    QVERIFY(recent != nullptr && recent->isEnabled());
    QCOMPARE(recent->actions().value(0)->text(), QStringLiteral("other.txt"));
    QVERIFY(answer(s, "250"));
    QTRY_VERIFY(QString::fromStdString(buffer->text()).contains("D = "));
    s.frame().close();
    s.end();
    QCOMPARE(s.status(), QtFrontend::kClosedStatus);
    const std::string closing = " !" + std::string(51, '*') + "!\n";
    QCOMPARE(QString::fromStdString(read_file("report.txt")),
             QString::fromStdString(
                 " The number of values in a training time series Ntrain =    150\n\n" + closing +
                 "\n The number of values in a training time series Ntrain =    250\n\n"));
  }

  // A fit of 1001 coefficients to 20000 points; stopped once it has reported progress.
  void stopAbandonsTheFitAndAsksAgain_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Stop button") << "button";
    QTest::newRow("Esc") << "escape";
    QTest::newRow("closing the frame") << "close";
  }
  void stopAbandonsTheFitAndAsksAgain() {
    QFETCH(QString, how);
    {
      std::ofstream out("noise.txt");
      std::mt19937 random(7);
      std::uniform_real_distribution<double> u(-1.0, 1.0);
      for (int k = 0; k < 20100; ++k) out << u(random) << '\n';
    }
    DesktopSession s(QStringLiteral("mapfit"));
    s.start(dialogue_with({"noise.txt"}));
    for (const char* a : {"20000", "4", "1", "10"}) QVERIFY(answer(s, a));
    QTRY_VERIFY_WITH_TIMEOUT(
        s.frame().progress_bar()->isVisible() && s.frame().progress_bar()->value() > 0, 60000);
    QVERIFY(s.frame().stop_button()->isVisible());
    QCOMPARE(s.frame().statusBar()->currentMessage(), QString("Fitting the model map..."));
    auto buffer = s.frontend().text_buffer(kInput);
    if (how == "button") {
      QTest::mouseClick(s.frame().stop_button(), Qt::LeftButton);
    } else if (how == "escape") {
      s.frame().activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&s.frame()));
      QTest::keyClick(s.frame().view(kInput), Qt::Key_Escape);
    } else {
      s.frame().close();
    }
    if (how == "close") {
      QTRY_VERIFY_WITH_TIMEOUT(s.finished(), 10000);
      QCOMPARE(s.status(), QtFrontend::kClosedStatus);
      QTest::qWait(20);
      QVERIFY(QApplication::activeModalWidget() == nullptr);
    } else {
      // Well before the fit could have ended (and it has not: no coefficients below).
      QTRY_VERIFY_WITH_TIMEOUT(buffer->reading(), 10000);
      const std::string text = buffer->text();
      QCOMPARE(QString::fromStdString(text).count("3) You can select"), 2);
      QTRY_VERIFY(!s.frame().progress_bar()->isVisible());
      QVERIFY(!s.frame().stop_button()->isVisible());
      s.frame().close();
      s.end();
    }
    const std::string report = read_file("report.txt");
    QVERIFY2(report.find("Coefficients") == std::string::npos, report.c_str());
    QVERIFY(report.find(" Dimension of a model map D =  4\n") != std::string::npos);
  }
};

QTEST_MAIN(DesktopSessionTest)
#include "desktop_session_test.moc"
