// The transcript box: it keeps the exact text, CR LF and all, shows it line
// for line, shows whatever a peer sends as text and nothing else, and keeps
// the end in view after every append.
#include "transcript/transcriptbox.h"
#include "access/accessiblefactory.h"
#include "app/startup.h"
#include "support/testing.h"
#include "system/fontfallbacks.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QScrollBar>
#include <QtTest>

using platform::TranscriptBox;

namespace {

// The lines the view really lays out, wrapping aside (the box is wide).
QStringList shownLines(TranscriptBox &box)
{
    QStringList lines;
    for (const TranscriptBox::WrappedLine &line : box.wrappedLines())
        lines << line.text;
    return lines;
}

} // namespace

class TstTranscript : public QObject
{
    Q_OBJECT

private slots:
    void keepsExactTextAndShowsIt_data();
    void keepsExactTextAndShowsIt();
    void controlCharactersShowAsSymbols_data();
    void controlCharactersShowAsSymbols();
    void endStaysInView_data();
    void endStaysInView();
    void caretAtTextPosition_data();
    void caretAtTextPosition();
    void setTextStartsAfresh();
    void viewFollowsTextThroughCutsAndTrims_data();
    void viewFollowsTextThroughCutsAndTrims();
    void trimNeverSplitsARunOfMarks();
    void arrivalsShowOncePerFrame();
    void trimKeepsTheSelectionsKeptPart();
    void longLinesWrapAtTheViewsWidth();
    void accessibleTextAndCaret();
    void whatNoFontShowsIsASquareButCopiesAndReadsAsItself();
    void aFrameLoadsFewFamiliesAndTheRestFollow();
};

void TstTranscript::keepsExactTextAndShowsIt_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("greeting") << QStringList{Greeting} << QStringList{"Welcome To Chat!", ""};
    QTest::newRow("sent line") << QStringList{Greeting, "\r\nAnn: hi"}
                               << QStringList{"Welcome To Chat!", "", "Ann: hi"};
    QTest::newRow("received line") << QStringList{Greeting, "\r\n\r\nAnn: hi"}
                                   << QStringList{"Welcome To Chat!", "", "", "Ann: hi"};
    QTest::newRow("lone CR and lone LF") << QStringList{"a\rb\nc\r\rd\n\ne"}
                                         << QStringList{"a", "b", "c", "", "d", "", "e"};
    QTest::newRow("LF CR is two breaks") << QStringList{"a\n\rb"} << QStringList{"a", "", "b"};
    QTest::newRow("CR LF split over two appends") << QStringList{"a\r", "\nb"} << QStringList{"a", "b"};
    QTest::newRow("CR then LF text") << QStringList{"a\r", "b\n"} << QStringList{"a", "b", ""};
    QTest::newRow("HTML-like text") << QStringList{"\r\nBob: <b>x</b>&amp;<br>"}
                                    << QStringList{"", "Bob: <b>x</b>&amp;<br>"};
    QTest::newRow("mixed scripts") << QStringList{"\r\n\u05e9\u05dc\u05d5\u05dd \U0001F600 \u20ac"}
                                   << QStringList{"", "\u05e9\u05dc\u05d5\u05dd \U0001F600 \u20ac"};
    QTest::newRow("paragraph and frame marks") << QStringList{QString::fromUtf16(u"a\u2029b\uFDD0c\uFDD1")}
                                               << QStringList{"a\uFFFDb\uFFFDc\uFFFD"};
    QStringList many;
    QStringList manyLines{""};
    QString flood;
    for (int i = 0; i < 3000; ++i) {
        flood += QStringLiteral("\r\nBob: line %1").arg(i);
        manyLines << QStringLiteral("Bob: line %1").arg(i);
    }
    QTest::newRow("thousands of lines in one append") << QStringList{flood} << manyLines;
}

void TstTranscript::keepsExactTextAndShowsIt()
{
    QFETCH(QStringList, pieces);
    QFETCH(QStringList, lines);
    TranscriptBox box;
    box.resize(4000, 300);
    QString all;
    for (const QString &piece : pieces) {
        box.appendText(piece);
        all += piece;
    }
    QCOMPARE(box.Text(), all);
    QCOMPARE(shownLines(box), lines);
}

void TstTranscript::controlCharactersShowAsSymbols_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("NUL") << QString::fromUtf16(u"a\0b", 3) << QStringLiteral("a\u2400b");
    QTest::newRow("bell, escape, form feed") << QStringLiteral("\a\x1b[2J\f!") << QStringLiteral("\u2407\u241b[2J\u240c!");
    QTest::newRow("vertical tab, backspace") << QStringLiteral("x\v\by") << QStringLiteral("x\u240b\u2408y");
    QTest::newRow("DEL") << QStringLiteral("x\x7fy") << QStringLiteral("x\u2421y");
    QTest::newRow("tab stays a tab") << QStringLiteral("x\ty") << QStringLiteral("x\ty");
}

void TstTranscript::controlCharactersShowAsSymbols()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    TranscriptBox box;
    box.resize(4000, 300);
    box.appendText(text + QStringLiteral(" and the rest"));
    // The exact text keeps the character; the view shows a symbol and goes on.
    QCOMPARE(box.Text(), text + QStringLiteral(" and the rest"));
    QCOMPARE(shownLines(box), QStringList{shown + QStringLiteral(" and the rest")});
}

void TstTranscript::endStaysInView_data()
{
    QTest::addColumn<int>("appends");
    QTest::addColumn<int>("linesPerAppend");
    QTest::newRow("one line each") << 200 << 1;
    QTest::newRow("big arrivals") << 10 << 2000;
    QTest::newRow("one long line") << 1 << 0;
}

void TstTranscript::endStaysInView()
{
    QFETCH(int, appends);
    QFETCH(int, linesPerAppend);
    TranscriptBox box;
    box.resize(337, 209);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.setText(Greeting);
    for (int a = 0; a < appends; ++a) {
        QString piece = linesPerAppend ? QString() : QStringLiteral("\r\n") + QString(20000, u'w');
        for (int i = 0; i < linesPerAppend; ++i)
            piece += QStringLiteral("\r\nAnn: line %1 %2").arg(a).arg(i);
        box.appendText(piece);
        box.setSelStart(box.Text().size());
        QCOMPARE(box.cursorPosition(), box.viewLength());
        // The last line is on screen, whole.
        QVERIFY2(box.viewport()->rect().contains(box.cursorRect()),
                 qPrintable(QStringLiteral("the end is at y %1, the view is %2 high").arg(box.cursorRect().y()).arg(box.viewport()->height())));
    }
    QVERIFY(box.verticalScrollBar()->maximum() > 0);
}

void TstTranscript::caretAtTextPosition_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("position");
    QTest::addColumn<int>("viewPosition");
    const QString text = QStringLiteral("ab\r\ncd\ref\ngh");
    QTest::newRow("start") << text << qsizetype(0) << 0;
    QTest::newRow("before CR LF") << text << qsizetype(2) << 2;
    QTest::newRow("between CR and LF") << text << qsizetype(3) << 3;
    QTest::newRow("after CR LF") << text << qsizetype(4) << 3;
    QTest::newRow("after lone CR") << text << qsizetype(7) << 6;
    QTest::newRow("after lone LF") << text << qsizetype(10) << 9;
    QTest::newRow("end") << text << qsizetype(12) << 11;
    QTest::newRow("past the end") << text << qsizetype(99) << 11;
}

void TstTranscript::caretAtTextPosition()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, position);
    QFETCH(int, viewPosition);
    TranscriptBox box;
    box.appendText(text);
    box.setSelStart(position);
    QCOMPARE(box.cursorPosition(), viewPosition);
}

void TstTranscript::setTextStartsAfresh()
{
    TranscriptBox box;
    box.appendText(QStringLiteral("old\r"));
    box.setText(QStringLiteral("\nnew\r\n"));
    QCOMPARE(box.Text(), QStringLiteral("\nnew\r\n"));
    // The old CR does not pair with the new LF.
    QCOMPARE(box.viewPlainText(), QStringLiteral("\nnew\n"));
    box.setSelStart(box.Text().size());
    QCOMPARE(box.cursorPosition(), 5);
}

void TstTranscript::viewFollowsTextThroughCutsAndTrims_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<qsizetype>("maxChars");
    const QString run(3 * 8192 + 17, u'x');
    QString emoji;
    for (int i = 0; i < 8192; ++i)
        emoji += QStringLiteral("\U0001F600"); // never cut between the halves of a pair
    QTest::newRow("one long line") << QStringList{QStringLiteral("\r\nAnn: ") + run} << qsizetype(0);
    QTest::newRow("long line over arrivals") << QStringList{run, QStringLiteral("\r\n") + run, run} << qsizetype(0);
    QTest::newRow("surrogate pairs") << QStringList{emoji} << qsizetype(0);
    QTest::newRow("trimmed past cuts") << QStringList{run, run + QStringLiteral("\r\nshort\r\n"), run, run} << qsizetype(5 * 8192);
    // A trim that falls just after a lone CR followed by CR LF must not keep
    // the LF without its CR, or the view loses a character.
    QTest::newRow("trim after a lone CR") << QStringList{QStringLiteral("abcdefghij\r\r\n"), QStringLiteral("\r\nAnn: hello!")} << qsizetype(24);
    QTest::newRow("trims among all breaks") << QStringList{QStringLiteral("a\rb\r\r\nc\n\rd"), QStringLiteral("\r\ne\r"), QStringLiteral("\nf\r\r\ng")} << qsizetype(8);
}

void TstTranscript::trimNeverSplitsARunOfMarks()
{
    // A line of 300 combining marks cut by the bound: the kept text starts
    // after the run, so the view shows it as it would show on its own.
    TranscriptBox box;
    box.setMaxChars(200);
    box.appendText(QStringLiteral("\r\nAnn: e") + QString(300, QChar(0x0301)) + QStringLiteral("xyz"));
    QCOMPARE(box.Text(), QStringLiteral("xyz"));
    QCOMPARE(box.shownText(), QStringLiteral("xyz"));
}

void TstTranscript::viewFollowsTextThroughCutsAndTrims()
{
    QFETCH(QStringList, pieces);
    QFETCH(qsizetype, maxChars);
    TranscriptBox box;
    box.setMaxChars(maxChars);
    QString all;
    for (const QString &piece : pieces) {
        box.appendText(piece);
        all += piece;
        // The text stays exact; the view shows it whole, its own cuts aside,
        // each CR LF, lone CR or lone LF as one break.
        QVERIFY(all.endsWith(box.Text()));
        QCOMPARE(box.shownText(), QString(box.Text()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n'));
        box.setSelStart(box.Text().size());
        QCOMPARE(box.cursorPosition(), box.viewLength());
    }
    if (maxChars == 0)
        QCOMPARE(box.Text(), all);
    // The view cuts a run every 8192 characters, so no line is laid out in
    // one huge piece.
    QVERIFY2(box.longestLine() <= 8192 + 1, qPrintable(QString::number(box.longestLine())));
}

namespace {

int fontWarnings = 0;

void countFontWarnings(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.contains(QLatin1String("OpenType support missing")))
        ++fontWarnings;
}

} // namespace

void TstTranscript::whatNoFontShowsIsASquareButCopiesAndReadsAsItself()
{
    app::prepareApplication();
    TranscriptBox box;
    box.resize(4000, 300);
    // U+0378 and U+E0080 are in no font; Qt refuses its fonts for Syriac and
    // Thaana unless their rules name the script (none of the machine's, nor
    // Noto Sans Thaana, do).
    const QString text = QString::fromUtf16(u"Welcome To Chat!\r\n\x01\r\nx\u0378y\U000E0080z \u0780\u0710!");
    box.appendText(text);
    const QString square = QString::fromUtf16(u"\u25A1");
    const QString line = shownLines(box).at(2);
    QVERIFY2(line.startsWith("x" + square + "y" + square + QChar(0x2060) + "z "), qPrintable(line));
    QCOMPARE(box.Text(), text);

    // Drawn without Qt trying every font for a script it refuses them all for.
    fontWarnings = 0;
    const QtMessageHandler before = qInstallMessageHandler(countFontWarnings);
    box.show();
    box.grab();
    qInstallMessageHandler(before);
    QCOMPARE(fontWarnings, 0);

    // Copying and a screen reader take the characters themselves.
    const QString lines = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&box);
    QVERIFY(accessible && accessible->textInterface());
    const QString read = accessible->textInterface()->text(0, accessible->textInterface()->characterCount());
    QCOMPARE(read.mid(read.indexOf(u'x')), lines.mid(lines.indexOf(u'x')));
    QCOMPARE(accessible->textInterface()->text(lines.indexOf(u'x') + 1, lines.indexOf(u'x') + 2),
             QString(QChar(0x0378)));
    box.selectAll();
    box.copy();
    const QString copied = QApplication::clipboard()->text();
    QCOMPARE(copied.mid(copied.indexOf(u'x')), lines.mid(lines.indexOf(u'x')));
}

void TstTranscript::arrivalsShowOncePerFrame()
{
    TranscriptBox box;
    box.resize(337, 209);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.setText(Greeting);
    QSignalSpy shown(&box, &TranscriptBox::arrivalsShown);
    auto *frame = box.findChild<QTimer *>(QStringLiteral("frame"));
    QVERIFY(frame && !frame->isActive());
    const auto frameEnds = [frame] { // as the single-shot timer does when it runs out
        frame->stop();
        return QMetaObject::invokeMethod(frame, "timeout");
    };
    // After a quiet frame a line is drawn and given out at once, and a frame
    // (one display refresh, at most 16 ms) begins.
    box.appendArrival(QStringLiteral("\r\nBob: one"));
    QCOMPARE(box.shownText(), QStringLiteral("Welcome To Chat!\n\nBob: one"));
    QCOMPARE(shown.count(), 1);
    QCOMPARE(shown.at(0).at(0).toString(), QStringLiteral("\r\nBob: one"));
    QVERIFY(frame->isActive() && frame->interval() <= 16);
    // Within the frame the text is exact at once; the view waits for the frame's end.
    box.appendArrival(QStringLiteral("\r\nBob: two\r"));
    box.appendArrival(QStringLiteral("\nBob: three"));
    QCOMPARE(box.Text(), Greeting + QStringLiteral("\r\nBob: one\r\nBob: two\r\nBob: three"));
    QCOMPARE(shown.count(), 1);
    QCOMPARE(box.shownText(), QStringLiteral("Welcome To Chat!\n\nBob: one"));
    // The frame's end shows all it held in one step, a CR LF split between
    // two arrivals as one break, and gives them out once.
    QVERIFY(frameEnds());
    QCOMPARE(shown.count(), 2);
    QCOMPARE(shown.at(1).at(0).toString(), QStringLiteral("\r\nBob: two\r\nBob: three"));
    QCOMPARE(box.shownText(), QStringLiteral("Welcome To Chat!\n\nBob: one\nBob: two\nBob: three"));
    box.setSelStart(box.Text().size());
    QCOMPARE(box.cursorPosition(), box.viewLength());
    // A frame with no arrival ends the run: the next line is drawn at once.
    QVERIFY(frame->isActive());
    QVERIFY(frameEnds());
    QCOMPARE(shown.count(), 2);
    QVERIFY(!frame->isActive());
    box.appendArrival(QStringLiteral("\r\nBob: four"));
    QCOMPARE(shown.count(), 3);
    QVERIFY(box.shownText().endsWith(QStringLiteral("\nBob: three\nBob: four")));
    // Asked to (a status is about to be said), the frame's arrivals go out at once.
    box.appendArrival(QStringLiteral("\r\nBob: five"));
    QCOMPARE(shown.count(), 3);
    box.showArrivals();
    QCOMPARE(shown.count(), 4);
    QCOMPARE(shown.at(3).at(0).toString(), QStringLiteral("\r\nBob: five"));
    QVERIFY(box.shownText().endsWith(QStringLiteral("\nBob: four\nBob: five")));
    box.showArrivals();
    QCOMPARE(shown.count(), 4);
}

void TstTranscript::trimKeepsTheSelectionsKeptPart()
{
    // A selection that the bound cuts keeps what is still there; copying it
    // gives kept text only. Lines of 10 characters, a bound of 80.
    TranscriptBox box;
    box.setMaxChars(80);
    QString lines;
    for (int i = 0; i < 6; ++i)
        lines += QStringLiteral("line %1 ab\n").arg(i);
    box.appendText(lines);
    box.setSelection(37, 49); // the end of line 3 and line 4
    QCOMPARE(box.selectedText(), QStringLiteral("ab\nline 4 ab"));
    // Arrivals, held for the frame, then past the bound: trimmed to whole
    // lines, five eighths of the bound or fewer.
    box.appendArrival(QStringLiteral("line 6 ab\n"));
    box.appendArrival(QStringLiteral("line 7 ab\nline 8 ab\n"));
    box.appendArrival(QStringLiteral("line 9 ab\n"));
    QVERIFY(box.Text().size() <= 80);
    QVERIFY(box.Text().startsWith(QStringLiteral("line 4 ab\n")));
    QVERIFY(box.Text().endsWith(QStringLiteral("line 9 ab\n")));
    QTimer *frame = box.findChild<QTimer *>(QStringLiteral("frame"));
    frame->stop();
    QVERIFY(QMetaObject::invokeMethod(frame, "timeout"));
    QCOMPARE(box.shownText(), box.Text());
    QCOMPARE(box.selectedText(), QStringLiteral("line 4 ab"));
    box.copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("line 4 ab"));
}

void TstTranscript::longLinesWrapAtTheViewsWidth()
{
    TranscriptBox box;
    box.resize(337, 209);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QString words = QStringLiteral("Ann:");
    for (int i = 0; i < 60; ++i)
        words += QStringLiteral(" word%1").arg(i);
    const QString run(400, u'x');
    box.appendText(QStringLiteral("\r\n") + words + QStringLiteral("\r\n") + run);
    // The chat line breaks between words, the run without a space anywhere;
    // no line is wider than the view, and together they are the text.
    const QStringList lines = shownLines(box);
    QCOMPARE(lines.first(), QString());
    QStringList wordLines, runLines;
    for (const QString &line : lines.sliced(1))
        (line.startsWith(u'x') ? runLines : wordLines) << line;
    QVERIFY2(wordLines.size() > 3 && runLines.size() > 1, qPrintable(lines.join(u'|')));
    QCOMPARE(wordLines.join(QString()), words);
    for (const QString &line : wordLines.first(wordLines.size() - 1))
        QVERIFY2(line.endsWith(u' '), qPrintable(line));
    QCOMPARE(runLines.join(QString()), run);
    const int room = box.viewport()->width();
    for (const TranscriptBox::WrappedLine &line : box.wrappedLines())
        QVERIFY(line.width <= room);
}

void TstTranscript::accessibleTextAndCaret()
{
    platform::installAccessibleFactory();
    TranscriptBox box;
    box.resize(337, 209);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.setText(Greeting);
    box.appendArrival(QStringLiteral("\r\nBob: hi\r\rBob: \u05e9\u05dc\u05d5\u05dd"));
    box.setSelStart(box.Text().size());
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&box);
    QVERIFY(accessible && accessible->textInterface());
    QAccessibleTextInterface *text = accessible->textInterface();
    // Lines broken by "\n", each CR LF or lone CR one break; the caret at the end.
    const QString shown = QStringLiteral("Welcome To Chat!\n\nBob: hi\n\nBob: \u05e9\u05dc\u05d5\u05dd");
    QCOMPARE(text->characterCount(), shown.size());
    QCOMPARE(text->text(0, shown.size()), shown);
    QCOMPARE(text->text(18, 25), QStringLiteral("Bob: hi"));
    QCOMPARE(text->cursorPosition(), shown.size());
    // A selection made through it is the box's, and copies as such.
    text->setSelection(0, 18, 25);
    int start = -1, end = -1;
    QCOMPARE(text->selectionCount(), 1);
    text->selection(0, &start, &end);
    QCOMPARE(std::pair(start, end), std::pair(18, 25));
    box.copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Bob: hi"));
    text->setSelection(0, -5, 999); // clamped to the text
    text->selection(0, &start, &end);
    QCOMPARE(std::pair(start, end), std::pair(0, int(shown.size())));
    text->setCursorPosition(20);
    QCOMPARE(text->cursorPosition(), 20);
    QCOMPARE(text->selectionCount(), 0);
    // Where a character is drawn and which character is at a point agree.
    for (int offset : {0, 18, 20}) {
        const QRect rect = text->characterRect(offset);
        QVERIFY(rect.width() > 0 && rect.height() > 0);
        QCOMPARE(text->offsetAtPoint(QPoint(rect.left() + 1, rect.center().y())), offset);
    }
}

QTEST_MAIN(TstTranscript)
void TstTranscript::aFrameLoadsFewFamiliesAndTheRestFollow()
{
    app::prepareApplication();
    TranscriptBox box;
    box.resize(600, 400);
    // A line for each script, each drawn with a family of its own.
    const QList<QString> samples{QString::fromUtf16(u"\u0915\u093F"), QString::fromUtf16(u"\u0E01"),
                                 QString::fromUtf16(u"\u0B95"), QString::fromUtf16(u"\u1200"),
                                 QString::fromUtf16(u"\u1780"), QString::fromUtf16(u"\u0A95"),
                                 QString::fromUtf16(u"\u0995"), QString::fromUtf16(u"\u0C95")};
    QSet<QString> families;
    for (const QString &sample : samples) {
        const auto runs = platform::fallbacksFor(box.font().family()).runs(sample);
        if (runs.size() == 1)
            families.insert(runs.front().family);
    }
    if (families.size() < samples.size())
        QSKIP("the fonts have no family of its own for each sample script");
    box.appendText(QStringLiteral("Welcome To Chat!\r\nx") + QStringList(samples).join(QStringLiteral("\r\nx")));
    const QString square = QString::fromUtf16(u"\u25A1");

    // One pass lays out every line: the frame loads a family or two, the
    // other lines wait with squares where their characters go.
    int waiting = 0;
    for (const QString &line : shownLines(box))
        waiting += line.contains(square) ? 1 : 0;
    QVERIFY2(waiting >= samples.size() - 2, qPrintable(QString::number(waiting)));
    QCOMPARE(box.Text().count(square), 0);

    // Frames later every line is drawn with its own characters.
    QTRY_VERIFY_WITH_TIMEOUT(shownLines(box).join(QString()).count(square) == 0, 5000);
    QCOMPARE(shownLines(box).mid(1), QStringList(samples).replaceInStrings(QRegularExpression("^"), "x"));
}

#include "tst_transcript.moc"
