// A desktop console window: what it paints (picture, text, cursor), typing, scrolling, the
// character cell and the placement of windows in cells.

#include "windowing/qt/console_view.h"

#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QScrollBar>
#include <QtTest>
#include <map>

#include "windowing/canvas.h"
#include "windowing/qt/cell_geometry.h"

using namespace windowing;

namespace {

QImage grab_viewport(ConsoleView& view) {
  return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB888);
}

int dark_pixels(const QImage& image, const QRect& area) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) n += qGray(image.pixel(x, y)) < 128;
  }
  return n;
}

}  // namespace

class ConsoleViewTest : public QObject {
  Q_OBJECT

 private slots:
  void cellShowsTheWholePictureAndBothWindowsFitTheScreen() {
    // The program places its windows 47 x 31 cells, the second 50 cells from the left.
    QVERIFY(47 * kCell.width >= kCanvasWidth);
    QVERIFY(31 * kCell.height >= kCanvasHeight);
    QVERIFY((50 + 47) * kCell.width + 40 <= 1280);
    QVERIFY(31 * kCell.height + 120 <= 800);
  }

  void fontFitsTheCell() {
    const QFontMetrics metrics(console_font());
    QVERIFY(QFontInfo(console_font()).fixedPitch());
    QVERIFY(metrics.horizontalAdvance(QLatin1Char('M')) <= kCell.width);
    QVERIFY(metrics.height() <= kCell.height);
    // Not needlessly small either.
    QVERIFY(metrics.height() >= kCell.height - 4);
  }

  void childGeometry_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("w");
    QTest::addColumn<QRect>("expected");
    // Scroll bars 16, decoration 4 left and right, 24 on top, 4 below.
    QTest::newRow("dialogue window")
        << 4 << 0 << 0 << 31 << 47 << QRect(0, 0, 47 * 12 + 16 + 8, 31 * 20 + 16 + 28);
    QTest::newRow("plot window") << 4 << 50 << 0 << 31 << 47
                                 << QRect(600, 0, 47 * 12 + 16 + 8, 31 * 20 + 16 + 28);
    QTest::newRow("one cell down and right")
        << 4 << 1 << 1 << 1 << 1 << QRect(12, 20, 12 + 16 + 8, 20 + 16 + 28);
    QTest::newRow("empty client") << 4 << 0 << 2 << 0 << 0 << QRect(0, 40, 24, 44);
  }
  void childGeometry() {
    QFETCH(int, kind);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, h);
    QFETCH(int, w);
    const plot::WINDOWPLACE place{static_cast<std::int16_t>(kind), static_cast<std::int16_t>(x),
                                  static_cast<std::int16_t>(y), static_cast<std::int16_t>(h),
                                  static_cast<std::int16_t>(w)};
    QFETCH(QRect, expected);
    QCOMPARE(child_geometry(place, kCell, QSize(16, 16), QMargins(4, 24, 4, 4)), expected);
  }

  void paintsThePictureExactly() {
    ConsoleView view(std::make_shared<TextBuffer>());
    view.resize(600, 640);
    Canvas canvas;
    canvas.SETDRAWCOLOR(12);
    canvas.DRAWRECT(2, 35, 50, 235, 250);
    canvas.PLOTPIXEL(539, 579);
    QImage picture(canvas.width(), canvas.height(), QImage::Format_RGB888);
    for (int y = 0; y < canvas.height(); ++y) {
      for (int x = 0; x < canvas.width(); ++x) {
        picture.setPixelColor(x, y, palette_colour(canvas.pixel(x, y)));
      }
    }
    view.set_picture(picture);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QImage shown = grab_viewport(view);
    QCOMPARE(shown.copy(0, 0, 540, 580), picture);
    // Beyond the picture: the window's background.
    QCOMPARE(shown.pixelColor(545, 10), QColor(255, 255, 255));
    QVERIFY(!view.horizontalScrollBar()->isVisible());
    QVERIFY(!view.verticalScrollBar()->isVisible());
  }

  void paintsTextInTheCellsAndTheCursorAtTheTextPosition() {
    auto buffer = std::make_shared<TextBuffer>();
    ConsoleView view(buffer);
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    buffer->write(" ab\n", 0);
    buffer->write("c", 0);
    view.refresh_text();
    QImage shown = grab_viewport(view);
    // Row 1: a blank, then "ab" in columns 2 and 3; row 2: "c" in column 1.
    QCOMPARE(dark_pixels(shown, QRect(0, 0, 12, 20)), 0);
    QVERIFY(dark_pixels(shown, QRect(12, 0, 12, 20)) > 10);
    QVERIFY(dark_pixels(shown, QRect(24, 0, 12, 20)) > 10);
    QVERIFY(dark_pixels(shown, QRect(36, 0, 40, 20)) == 0);
    QVERIFY(dark_pixels(shown, QRect(0, 20, 12, 20)) > 5);
    // Hidden cursor: nothing after "c".
    QCOMPARE(dark_pixels(shown, QRect(12, 20, 12, 20)), 0);
    view.set_style(15, true);
    shown = grab_viewport(view);
    QCOMPARE(dark_pixels(shown, QRect(12, 22, 2, 16)), 2 * 16);
    // Typed characters move it on.
    buffer->begin_read(12);
    buffer->type("9");
    view.refresh_text();
    shown = grab_viewport(view);
    QCOMPARE(dark_pixels(shown, QRect(24, 22, 2, 16)), 2 * 16);
    QCOMPARE(shown.pixelColor(24, 30), QColor(255, 0, 0));  // in the text colour
  }

  void aFullLineAnswerFitsAWindowOfThatManyColumns() {
    // "1) Length of a training series: Ntrain = " and a six-digit answer fill 47 columns.
    auto buffer = std::make_shared<TextBuffer>();
    ConsoleView view(buffer);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view.set_style(15, true);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.resize(47 * kCell.width + view.width() - view.viewport()->width(), 200);
    QTRY_COMPARE(view.viewport()->width(), 47 * kCell.width);
    buffer->write("1) Length of a training series: Ntrain = ", 0);
    buffer->begin_read(12);
    buffer->type("100000");
    view.refresh_text();
    QCOMPARE(view.horizontalScrollBar()->value(), 0);
    QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
    const QImage shown = grab_viewport(view);
    QVERIFY(dark_pixels(shown, QRect(0, 0, kCell.width, kCell.height)) > 5);  // "1" shown
    // The caret stands at the right edge, after the last digit.
    QCOMPARE(dark_pixels(shown, QRect(47 * kCell.width - 2, 2, 2, kCell.height - 4)),
             2 * (kCell.height - 4));
  }

  void keysEditTheLineWhileAReadWaits() {
    auto buffer = std::make_shared<TextBuffer>();
    ConsoleView view(buffer);
    view.show();
    QTest::keyClicks(&view, "12");  // nothing waits: ignored
    QCOMPARE(QString::fromStdString(buffer->text()), QString());
    buffer->write(" D = ", 0);
    buffer->begin_read(0);
    QTest::keyClicks(&view, "2x");
    QTest::keyClick(&view, Qt::Key_Backspace);
    QTest::keyClick(&view, Qt::Key_Tab);  // not printable: ignored
    QCOMPARE(QString::fromStdString(buffer->picture().input), QString("2"));
    QTest::keyClick(&view, Qt::Key_Return);
    std::atomic<bool> abort{false};
    QCOMPARE(buffer->wait_line(abort), std::optional<std::string>("2"));
    buffer->begin_read(0);
    QTest::keyClicks(&view, "n");
    QTest::keyClick(&view, Qt::Key_Enter);  // the keypad's Enter ends a line too
    QCOMPARE(buffer->wait_line(abort), std::optional<std::string>("n"));
    QCOMPARE(QString::fromStdString(buffer->text()), QString(" D = 2\nn\n"));
  }

  void scrollsToKeepTheTextPositionInView() {
    auto buffer = std::make_shared<TextBuffer>();
    ConsoleView view(buffer);
    view.resize(47 * kCell.width + 16, 31 * kCell.height + 16);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    for (int i = 1; i <= 60; ++i) buffer->write(" line\n", 0);
    buffer->write(" prompt ", 0);
    view.refresh_text();
    QScrollBar* bar = view.verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    const int last_row_top = 60 * kCell.height - bar->value();
    QVERIFY(last_row_top + kCell.height <= view.viewport()->height());
  }

  void selectAllTakesTheWholeText() {
    auto buffer = std::make_shared<TextBuffer>();
    ConsoleView view(buffer);
    buffer->write(" one\n two", 0);
    QCOMPARE(view.selected_text(), QString());
    view.select_all();
    QCOMPARE(view.selected_text(), QString(" one\n two"));
    // A modifier on its own (the Ctrl of Ctrl+C) keeps the mark; a key that edits drops it.
    for (Qt::Key key : {Qt::Key_Control, Qt::Key_Shift}) QTest::keyClick(&view, key);
    QCOMPARE(view.selected_text(), QString(" one\n two"));
    buffer->begin_read(0);
    QTest::keyClicks(&view, "3");
    QCOMPARE(view.selected_text(), QString());
  }

  // Cursor keys and history in the line being typed. Keys: a letter or digit is typed, < > are
  // Left and Right, [ ] Home and End, - Backspace, x Delete, ^ v Up and Down, | Enter (the
  // next read begins at once).
  void editingAndHistory_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("cursor");
    QTest::newRow("insert before the end") << "1000<<5"
                                           << "10500" << 3;
    QTest::newRow("home and delete") << "150000[x"
                                     << "50000" << 0;
    QTest::newRow("end after home") << "12[3]4"
                                    << "3124" << 4;
    QTest::newRow("backspace in the middle") << "12345<<-"
                                             << "1245" << 2;
    QTest::newRow("left stops at the start") << "7<<<<8"
                                             << "87" << 1;
    QTest::newRow("up recalls the last answer") << "150|2|^"
                                                << "2" << 1;
    QTest::newRow("up twice, then edit") << "150|2|^^0"
                                         << "1500" << 4;
    QTest::newRow("down returns to the draft") << "150|2|9^^vv"
                                               << "9" << 1;
    QTest::newRow("up past the oldest stays") << "150|^^^"
                                              << "150" << 3;
    QTest::newRow("repeated answers once") << "5|5|^^"
                                           << "5" << 1;
  }
  void editingAndHistory() {
    QFETCH(QString, keys);
    auto buffer = std::make_shared<TextBuffer>();
    ConsoleView view(buffer);
    view.set_style(15, true);
    view.show();
    buffer->begin_read(0);
    std::atomic<bool> abort{false};
    const std::map<QChar, Qt::Key> special = {
        {'<', Qt::Key_Left}, {'>', Qt::Key_Right},     {'[', Qt::Key_Home},
        {']', Qt::Key_End},  {'-', Qt::Key_Backspace}, {'x', Qt::Key_Delete},
        {'^', Qt::Key_Up},   {'v', Qt::Key_Down},      {'|', Qt::Key_Return}};
    for (const QChar k : keys) {
      const auto it = special.find(k);
      if (it == special.end()) {
        QTest::keyClicks(&view, QString(k));
        continue;
      }
      QTest::keyClick(&view, it->second);
      if (k == '|') {
        QVERIFY(buffer->wait_line(abort).has_value());
        buffer->begin_read(0);
      }
    }
    QFETCH(QString, input);
    QFETCH(int, cursor);
    const TextPicture picture = buffer->picture();
    QCOMPARE(QString::fromStdString(picture.input), input);
    QCOMPARE(picture.input_cursor, cursor);
    QCOMPARE(buffer->cursor().second, cursor);
    // The bar is drawn at the editing position.
    const QImage shown = grab_viewport(view);
    const int row = buffer->cursor().first;
    QCOMPARE(dark_pixels(shown, QRect(cursor * kCell.width, row * kCell.height + 6, 2, 8)), 2 * 8);
  }

  void dragSelectsAndPasteTakesTheFirstLine() {
    auto buffer = std::make_shared<TextBuffer>();
    ConsoleView view(buffer);
    view.resize(400, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    buffer->write(" first line\n second line\n N = ", 0);
    const auto at = [](int column, int row) {
      return QPoint(column * kCell.width + 2, row * kCell.height + kCell.height / 2);
    };
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, at(3, 0));
    QMouseEvent move(QEvent::MouseMove, at(4, 1), view.viewport()->mapToGlobal(at(4, 1)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, at(4, 1));
    QCOMPARE(view.selected_text(), QString("rst line\n sec"));
    // A drag from right to left marks the same stretch.
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, at(4, 1));
    QMouseEvent back(QEvent::MouseMove, at(3, 0), view.viewport()->mapToGlobal(at(3, 0)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &back);
    QCOMPARE(view.selected_text(), QString("rst line\n sec"));
    // A click without a drag marks nothing.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(2, 2));
    QCOMPARE(view.selected_text(), QString());

    QVERIFY(!view.paste("12"));  // no read waits
    buffer->begin_read(0);
    QVERIFY(view.paste("1500\r\n2\n"));
    QCOMPARE(QString::fromStdString(buffer->picture().input), QString("1500"));
    QVERIFY(buffer->reading());  // the line end was not an Enter
    QApplication::clipboard()->setText("00\nignored");
    QTest::keyClick(&view, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(QString::fromStdString(buffer->picture().input), QString("15000000"));
    QTest::mouseClick(view.viewport(), Qt::MiddleButton, {}, at(1, 1));
    QCOMPARE(QString::fromStdString(buffer->picture().input), QString("1500000000"));
  }

  void paletteColours() {
    QCOMPARE(palette_colour(0), QColor(0, 0, 0));
    QCOMPARE(palette_colour(12), QColor(255, 0, 0));
    QCOMPARE(palette_colour(15), QColor(255, 255, 255));
    QCOMPARE(palette_colour(7), QColor(192, 192, 192));
    QCOMPARE(palette_colour(16), QColor(0, 0, 0));
    QCOMPARE(palette_colour(-1), QColor(0, 0, 0));
  }
};

QTEST_MAIN(ConsoleViewTest)
#include "console_view_test.moc"
