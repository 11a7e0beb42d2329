// A hostile peer against a real chat window: 100 MB of random bytes (NUL,
// invalid UTF-8, hardly a line break) and 100 MB of chat lines, each sent as
// fast as a raw socket can from a thread of its own; then one 1 MB line typed
// into MyMsg, sent with Send and received by a second copy. Prints the longest
// event-loop stall (a 1 ms timer's largest gap), resident memory before and
// after, and throughput, each against an idle window measured in the same run.
//
// Usage: bench_hostile [--quick | --mb N] (default 100, quick 20)

#include "chat/formchat.h"
#include "support/measure.h"
#include "platform/core/messagebox.h"
#include "platform/core/program.h"
#include "platform/ui/transcriptbox.h"
#include "platform/net/winsock.h"
#include "setup/formsetup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

QByteArray randomBlock()
{
    QByteArray block(1 << 20, Qt::Uninitialized);
    QRandomGenerator rng(1);
    rng.fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
    return block;
}

QByteArray chatLineBlock()
{
    QByteArray block;
    for (int n = 0; block.size() < (1 << 20); ++n)
        block += "\r\nEve: line " + QByteArray::number(n) + " caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 <b>x</b>";
    return block;
}

struct Figures
{
    double seconds = 0;
    double stallMs = 0;
    qint64 keptChars = 0;
    qint64 rssBefore = 0;
    qint64 rssAfter = 0;
};

// A flood into a chat window listening as server, until the peer has gone.
Figures flood(const QByteArray &block, qint64 total)
{
    platform::Program program;
    program.setMessageBoxService(std::make_unique<FatalBoxes>());
    FormChat &chat = program.form<FormChat>();
    chat.Winsock->setLocalPort(0);
    chat.Winsock->Listen();
    chat.Show();
    QApplication::processEvents();
    Figures figures;
    figures.rssBefore = residentBytes();
    QEventLoop loop;
    QObject::connect(chat.Winsock, &platform::Winsock::closed, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QElapsedTimer clock;
    clock.start();
    QThread *sender = startSender(static_cast<quint16>(chat.Winsock->LocalPort()), block, total);
    {
        StallMeter meter;
        loop.exec();
        figures.stallMs = meter.longestMs();
    }
    figures.seconds = clock.nsecsElapsed() / 1e9;
    sender->wait();
    delete sender;
    if (chat.Status->text() != QLatin1String("Disconnected"))
        qFatal("the flood did not end in Disconnected");
    figures.keptChars = chat.ScreenMsg->Text().size();
    figures.rssAfter = residentBytes();
    return figures;
}

// An idle chat window for the same time: what the stall meter shows with no peer.
double idleStallMs(double seconds)
{
    platform::Program program;
    program.form<FormChat>().Show();
    QApplication::processEvents();
    StallMeter meter;
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    return meter.longestMs();
}

struct LongLine
{
    double sendMs = 0;     // the Send click, local echo included
    double receiveMs = 0;  // from the click until the receiver shows the whole line
    double stallMs = 0;    // the longest stall of either window meanwhile
};

// One line of `chars` characters typed into MyMsg and sent to a second copy.
LongLine longLine(qsizetype chars)
{
    platform::Program server, client;
    server.setMessageBoxService(std::make_unique<FatalBoxes>());
    client.setMessageBoxService(std::make_unique<FatalBoxes>());
    FormChat &from = client.form<FormChat>();
    FormChat &to = server.form<FormChat>();
    client.form<FormSetup>().UserName->setText(QStringLiteral("Ann"));
    to.Winsock->setLocalPort(0);
    to.Winsock->Listen();
    from.Winsock->setRemoteHost(QStringLiteral("127.0.0.1"));
    from.Winsock->setRemotePort(to.Winsock->LocalPort());
    from.Winsock->Connect();
    from.Show();
    to.Show();
    while (!from.Command1->isEnabled() || !to.Command1->isEnabled())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);

    QString message;
    message.reserve(chars);
    for (qsizetype i = 0; message.size() < chars; ++i)
        message += i % 7 == 6 ? QChar(u' ') : QChar(char16_t(u'a' + i % 26));
    from.MyMsg->setText(message);
    QApplication::processEvents();
    // The receiver shows each arrival after a CR LF of its own: join the arrivals instead.
    QString arrived;
    QObject::connect(to.Winsock, &platform::Winsock::dataArrival, &to, [&] { arrived += to.InData; });
    const qsizetype expected = 2 + 5 + message.size();

    LongLine figures;
    StallMeter meter;
    QElapsedTimer clock;
    clock.start();
    from.Command1->click();
    figures.sendMs = clock.nsecsElapsed() / 1e6;
    while (arrived.size() < expected)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    figures.receiveMs = clock.nsecsElapsed() / 1e6;
    // Let both windows paint what they got.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    figures.stallMs = std::max(meter.longestMs(), figures.sendMs);
    if (arrived != QStringLiteral("\r\nAnn: ") + message || !to.ScreenMsg->Text().endsWith(to.InData))
        qFatal("the long line did not arrive whole");
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    qint64 megabytes = args.contains(QStringLiteral("--quick")) ? 20 : 100;
    if (const qsizetype i = args.indexOf(QStringLiteral("--mb")); i >= 0 && i + 1 < args.size())
        megabytes = args.at(i + 1).toLongLong();
    const qint64 total = megabytes << 20;

    const qint64 rssStart = residentBytes();
    const Figures random = flood(randomBlock(), total);
    const Figures lines = flood(chatLineBlock(), total);
    const double idle = idleStallMs(2.0);
    const LongLine line = longLine(1 << 20);

    auto row = [&](const char *name, const Figures &f) {
        out << QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                   .arg(QString::fromLatin1(name), -22)
                   .arg(megabytes / f.seconds, 8, 'f', 1)
                   .arg(f.stallMs, 10, 'f', 1)
                   .arg(f.stallMs / std::max(idle, 0.001), 9, 'f', 1)
                   .arg((f.rssAfter - f.rssBefore) / 1e6, 12, 'f', 1)
                   .arg(f.keptChars, 12);
    };
    out << QStringLiteral("Hostile peer: %1 MB each, VmRSS at start %2 MB\n").arg(megabytes).arg(rssStart / 1e6, 0, 'f', 1);
    out << QStringLiteral("%1 %2 %3 %4 %5 %6\n")
               .arg(QStringLiteral("flood"), -22)
               .arg(QStringLiteral("MB/s"), 8)
               .arg(QStringLiteral("stall ms"), 10)
               .arg(QStringLiteral("x idle"), 9)
               .arg(QStringLiteral("VmRSS +MB"), 12)
               .arg(QStringLiteral("kept chars"), 12);
    out << QStringLiteral("%1 %2 %3\n").arg(QStringLiteral("idle window (baseline)"), -22).arg(QString(), 8).arg(idle, 10, 'f', 1);
    row("random bytes", random);
    row("chat lines", lines);
    out << QStringLiteral("transcript bound: %1 characters\n").arg(FormChat::TranscriptBound);
    out << QStringLiteral("longest flood stall: %1 ms (goal <= 50)\n")
               .arg(std::max(random.stallMs, lines.stallMs), 0, 'f', 1);
    out << QStringLiteral("1 MB line: Send %1 ms, received whole after %2 ms, longest stall %3 ms (goal <= 200)\n")
               .arg(line.sendMs, 0, 'f', 1)
               .arg(line.receiveMs, 0, 'f', 1)
               .arg(line.stallMs, 0, 'f', 1);
    out << QStringLiteral("VmRSS at the end: %1 MB\n").arg(residentBytes() / 1e6, 0, 'f', 1);
    return 0;
}
