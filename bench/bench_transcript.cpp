// What one more line costs the transcript as it grows: appending through the
// transcript box (text, view, caret at the end, a repaint every tenth line)
// at 10^3 to 10^6 lines, against the same box at 10^3 lines; and putting the
// whole text into the view again for every line, against appending at the
// same size. All sizes are measured in every round.
//
// Usage: bench_transcript [--quick] [--rounds N]
#include "app/startup.h"
#include "transcript/transcriptbox.h"
#include "support/goals.h"
#include "support/rounds.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <map>
#include <memory>

using platform::TranscriptBox;

namespace {

constexpr int AppendLines = 200;
constexpr int ReplaceLines = 50;

QString chatLine(qint64 n)
{
    return QStringLiteral("\r\nAnn: message number %1 of the benchmark").arg(n, 8, 10, QLatin1Char('0'));
}

std::unique_ptr<TranscriptBox> shownBox()
{
    auto box = std::make_unique<TranscriptBox>();
    box->resize(337, 209);
    box->show();
    box->setText(QStringLiteral("Welcome To Chat!\r\n"));
    return box;
}

// A box and how many lines it holds.
struct Filled
{
    std::unique_ptr<TranscriptBox> box = shownBox();
    qint64 lines = 0;

    // Fills up to `target` lines, a thousand lines an append.
    void fillTo(qint64 target)
    {
        while (lines < target) {
            QString chunk;
            const qint64 batch = std::min<qint64>(1000, target - lines);
            for (qint64 i = 0; i < batch; ++i)
                chunk += chatLine(lines + i);
            box->appendText(chunk);
            lines += batch;
        }
        box->setSelStart(box->Text().size());
        QApplication::processEvents();
    }
};

// Microseconds per line for AppendLines more lines, each appended and
// scrolled to the way an arrival does it, the window repainted every tenth.
double appendCost(Filled &filled)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < AppendLines; ++i) {
        filled.box->appendText(chatLine(filled.lines++));
        filled.box->setSelStart(filled.box->Text().size());
        if (i % 10 == 9)
            QApplication::processEvents();
    }
    return timer.nsecsElapsed() / 1000.0 / AppendLines;
}

// The same, but every line puts the whole text into the view again.
double replaceCost(qint64 lines)
{
    auto box = shownBox();
    QString text = QStringLiteral("Welcome To Chat!\r\n");
    for (qint64 n = 0; n < lines; ++n)
        text += chatLine(n);
    box->setText(text);
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < ReplaceLines; ++i) {
        text += chatLine(lines++);
        box->setText(text);
        box->setSelStart(text.size());
        QApplication::processEvents();
    }
    return timer.nsecsElapsed() / 1000.0 / ReplaceLines;
}

QString sizeName(qint64 lines)
{
    return lines >= 1000000 ? QStringLiteral("10^6") : lines >= 100000 ? QStringLiteral("10^5")
         : lines >= 10000   ? QStringLiteral("10^4") : lines >= 4000   ? QStringLiteral("4x10^3")
                            : QStringLiteral("10^3");
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The program's own fonts and accessibility, as users get them.
    app::prepareApplication();
    QTextStream out(stdout);
    Rounds rounds(app.arguments());
    const QList<qint64> sizes = rounds.quick() ? QList<qint64>{1000, 4000, 10000, 100000}
                                               : QList<qint64>{1000, 4000, 10000, 100000, 1000000};
    const qint64 largest = sizes.last();
    const QList<qint64> replaceSizes{1000, 4000};

    // Small boxes are filled afresh for every run, so each starts at its size;
    // the large ones are filled once, in the warm-up round, and grow by
    // AppendLines a round (under 0.5 %).
    std::map<qint64, Filled> large;
    QList<Case> cases;
    for (qint64 size : sizes) {
        cases.append({QStringLiteral("append ") + sizeName(size), [size, &large] {
                          Filled fresh;
                          Filled &filled = size >= 100000 ? large[size] : fresh;
                          filled.fillTo(std::max(filled.lines, size));
                          return Figures{{QStringLiteral("us"), appendCost(filled)}};
                      }});
    }
    for (qint64 size : replaceSizes) {
        cases.append({QStringLiteral("replace ") + sizeName(size),
                      [size] { return Figures{{QStringLiteral("us"), replaceCost(size)}}; }});
    }
    rounds.run(cases);

    const QString us = QStringLiteral("us");
    out << QStringLiteral("Transcript cost per line, microseconds; median of %1 rounds (lowest-highest)\n")
               .arg(rounds.count());
    out << QStringLiteral("%1 %2 %3\n").arg(QStringLiteral("lines"), 10).arg(QStringLiteral("append"), 24)
               .arg(QStringLiteral("whole-text replace"), 26);
    for (qint64 size : sizes) {
        const QString replaced = replaceSizes.contains(size)
            ? showSpread(rounds.spread(QStringLiteral("replace ") + sizeName(size), us), 1)
            : QString();
        out << QStringLiteral("%1 %2 %3\n").arg(sizeName(size), 10)
                   .arg(showSpread(rounds.spread(QStringLiteral("append ") + sizeName(size), us), 1), 24)
                   .arg(replaced, 26);
    }
    const QString first = QStringLiteral("append 10^3");
    const Spread growth = rounds.ratio(QStringLiteral("append ") + sizeName(largest), us, first, us);
    out << QStringLiteral("append at %1 lines / append at 10^3 lines: %2\n").arg(sizeName(largest), showSpread(growth, 2));
    for (qint64 size : replaceSizes) {
        out << QStringLiteral("replace at %1 lines / append at %1 lines: %2\n")
                   .arg(sizeName(size),
                        showSpread(rounds.ratio(QStringLiteral("replace ") + sizeName(size), us,
                                                QStringLiteral("append ") + sizeName(size), us), 1));
    }

    Goals goals(out);
    goals.atMost(QStringLiteral("append at %1 lines / append at 10^3 lines").arg(sizeName(largest)), growth.median,
                 1.2, QStringLiteral("x"));
    return goals.exitCode();
}
