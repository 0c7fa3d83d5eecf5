// The text of a desktop console window: lines and colours, the typed line, the hand-over.

#include "windowing/qt/text_buffer.h"

#include <QtTest>
#include <thread>

using windowing::TextBuffer;
using windowing::TextLine;
using windowing::TextRun;

class TextBufferTest : public QObject {
  Q_OBJECT

 private slots:
  void writesAtTheTextPosition_data() {
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("column");
    QTest::newRow("empty") << QStringList{} << "" << 0 << 0;
    QTest::newRow("prompt stays on its line") << QStringList{" 1) N = "} << " 1) N = " << 0 << 8;
    QTest::newRow("line end moves to the next row") << QStringList{" a\n"} << " a\n" << 1 << 0;
    QTest::newRow("pieces join") << QStringList{" a", "b\n", "c"} << " ab\nc" << 1 << 1;
    QTest::newRow("CR dropped") << QStringList{" a\r\n", "b\r"} << " a\nb" << 1 << 1;
    QTest::newRow("empty lines") << QStringList{"\n\n"} << "\n\n" << 2 << 0;
  }
  void writesAtTheTextPosition() {
    QFETCH(QStringList, writes);
    TextBuffer buffer;
    for (const QString& w : writes) buffer.write(w.toStdString(), 0);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(buffer.text()), text);
    QFETCH(int, rows);
    QFETCH(int, column);
    QCOMPARE(buffer.cursor(), std::make_pair(rows, column));
  }

  void keepsColoursPerRun() {
    TextBuffer buffer;
    buffer.write("ab", 0);
    buffer.write("c", 0);
    buffer.write("d\ne", 12);
    const auto picture = buffer.picture();
    QCOMPARE(picture.lines.size(), std::size_t{2});
    QCOMPARE(picture.lines[0], (TextLine{TextRun{"abc", 0}, TextRun{"d", 12}}));
    QCOMPARE(picture.lines[1], (TextLine{TextRun{"e", 12}}));
  }

  void clearStartsAtRowOneColumnOne() {
    TextBuffer buffer;
    buffer.write(" old\n old", 0);
    buffer.clear();
    QCOMPARE(buffer.cursor(), std::make_pair(0, 0));
    buffer.write(" new", 0);
    QCOMPARE(QString::fromStdString(buffer.text()), QString(" new"));
  }

  void typingNeedsAWaitingRead() {
    TextBuffer buffer;
    QVERIFY(!buffer.type("1"));
    QVERIFY(!buffer.backspace());
    QVERIFY(!buffer.enter());
    QCOMPARE(QString::fromStdString(buffer.text()), QString());
  }

  void typedLineJoinsTheTextAndGoesToTheReader() {
    TextBuffer buffer;
    buffer.write(" 1) N = ", 0);
    buffer.begin_read(0);
    QVERIFY(buffer.type("1"));
    QVERIFY(buffer.type("507"));
    QVERIFY(buffer.backspace());
    QCOMPARE(QString::fromStdString(buffer.picture().input), QString("150"));
    QCOMPARE(buffer.cursor(), std::make_pair(0, 11));
    QVERIFY(buffer.enter());
    QVERIFY(!buffer.type("x"));  // the line is gone; nothing waits
    std::atomic<bool> abort{false};
    QCOMPARE(buffer.wait_line(abort), std::optional<std::string>("150"));
    QCOMPARE(QString::fromStdString(buffer.text()), QString(" 1) N = 150\n"));
    QVERIFY(!buffer.reading());
  }

  void backspaceRemovesAWholeCharacterAndStopsAtTheStart() {
    TextBuffer buffer;
    buffer.begin_read(0);
    buffer.type("a\xC3\xA9");  // a, e acute
    QVERIFY(buffer.backspace());
    QCOMPARE(QString::fromStdString(buffer.picture().input), QString("a"));
    QVERIFY(buffer.backspace());
    QVERIFY(!buffer.backspace());
  }

  void readerOnAnotherThreadGetsTheLine() {
    TextBuffer buffer;
    buffer.begin_read(0);
    std::atomic<bool> abort{false};
    std::optional<std::string> got;
    std::thread reader([&] { got = buffer.wait_line(abort); });
    buffer.type("y");
    buffer.enter();
    reader.join();
    QCOMPARE(got, std::optional<std::string>("y"));
  }

  void abortEndsAWaitWithoutALine() {
    TextBuffer buffer;
    buffer.begin_read(0);
    buffer.type("12");
    std::atomic<bool> abort{false};
    std::optional<std::string> got{"unset"};
    std::thread reader([&] { got = buffer.wait_line(abort); });
    abort = true;
    buffer.wake();
    reader.join();
    QVERIFY(!got.has_value());
    QVERIFY(!buffer.reading());
    // The unfinished input is not part of the text.
    QCOMPARE(QString::fromStdString(buffer.text()), QString());
  }
};

QTEST_GUILESS_MAIN(TextBufferTest)
#include "text_buffer_test.moc"
