// What one more line costs the transcript as it grows: appending through the
// transcript box (text, view, caret at the end, a repaint) against putting
// the whole text into the view again for every line.
#include "platform/ui/transcriptbox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>

using platform::TranscriptBox;

namespace {

QString chatLine(qint64 n)
{
    return QStringLiteral("\r\nAnn: message number %1 of the benchmark").arg(n, 8, 10, QLatin1Char('0'));
}

// Fills the box up to `lines` lines, a thousand lines an append.
void fillTo(TranscriptBox &box, qint64 &have, qint64 lines)
{
    while (have < lines) {
        QString chunk;
        const qint64 batch = std::min<qint64>(1000, lines - have);
        for (qint64 i = 0; i < batch; ++i)
            chunk += chatLine(have + i);
        box.appendText(chunk);
        have += batch;
    }
    box.setSelStart(box.Text().size());
    QApplication::processEvents();
}

// Microseconds per line for more lines, each appended and scrolled to the
// way a data arrival does it, with the window repainted every tenth line:
// the median of several runs, so other work on the machine weighs less.
double appendCost(TranscriptBox &box, qint64 &have, int batch)
{
    QList<double> runs;
    for (int run = 0; run < 9; ++run) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < batch; ++i) {
            box.appendText(chatLine(have++));
            box.setSelStart(box.Text().size());
            if (i % 10 == 9)
                QApplication::processEvents();
        }
        runs.append(timer.nsecsElapsed() / 1000.0 / batch);
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

// The same, but every line puts the whole text into the view again.
double replaceCost(TranscriptBox &box, QString &text, qint64 &have, int batch)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < batch; ++i) {
        text += chatLine(have++);
        box.setPlainText(TranscriptBox::viewText(text, false));
        box.moveCursor(QTextCursor::End);
        box.ensureCursorVisible();
        QApplication::processEvents();
    }
    return timer.nsecsElapsed() / 1000.0 / batch;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const QList<qint64> sizes = quick ? QList<qint64>{1000, 10000, 100000}
                                      : QList<qint64>{1000, 10000, 100000, 1000000};
    const int batch = 200;

    out << "Transcript append cost per line (appendText + setSelStart, a repaint every 10 lines)\n";
    out << QStringLiteral("%1 %2\n").arg(QStringLiteral("lines"), 10).arg(QStringLiteral("us/line"), 10);
    {
        // Fonts, glyph caches and the allocator warm up on a box of its own.
        TranscriptBox warmUp;
        warmUp.resize(337, 209);
        warmUp.show();
        qint64 warmLines = 0;
        appendCost(warmUp, warmLines, batch);
    }
    TranscriptBox box;
    box.resize(337, 209);
    box.show();
    box.setText(QStringLiteral("Welcome To Chat!\r\n"));
    qint64 have = 0;
    QList<double> costs;
    for (qint64 size : sizes) {
        fillTo(box, have, size);
        costs.append(appendCost(box, have, batch));
        out << QStringLiteral("%1 %2\n").arg(size, 10).arg(costs.last(), 10, 'f', 2);
        out.flush();
    }
    out << QStringLiteral("ratio %1 lines / %2 lines: %3 (goal <= 1.2)\n\n")
               .arg(sizes.last())
               .arg(sizes.first())
               .arg(costs.last() / costs.first(), 0, 'f', 2);

    out << "Whole-text replace per line (setPlainText of the whole transcript)\n";
    TranscriptBox replaced;
    replaced.resize(337, 209);
    replaced.show();
    QString text = QStringLiteral("Welcome To Chat!\r\n");
    qint64 replacedHave = 0;
    const QList<qint64> replaceSizes{1000, 4000};
    QList<double> replaceCosts;
    for (qint64 size : replaceSizes) {
        while (replacedHave < size)
            text += chatLine(replacedHave++);
        replaceCosts.append(replaceCost(replaced, text, replacedHave, 50));
        out << QStringLiteral("%1 %2\n").arg(size, 10).arg(replaceCosts.last(), 10, 'f', 2);
        out.flush();
    }
    out << QStringLiteral("ratio %1 lines / %2 lines: %3\n")
               .arg(replaceSizes.last())
               .arg(replaceSizes.first())
               .arg(replaceCosts.last() / replaceCosts.first(), 0, 'f', 2);
    out << QStringLiteral("replace / append at %1 lines: %2x\n")
               .arg(replaceSizes.last())
               .arg(replaceCosts.last() / costs.first(), 0, 'f', 1);
    return 0;
}
