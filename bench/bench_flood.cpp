// A peer that floods the chat window: 100 MB of 55-character chat lines sent
// as fast as a raw socket can, into a real chat window through its endpoint,
// against a reader that only counts the bytes. Also the longest stall of the
// event loop during the flood and the resident memory the flood adds per
// kept character. Each run is a fresh process of its own.
//
// Usage: bench_flood [--quick] [--mb N] [--rounds N]
#include "chat/formchat.h"
#include "app/startup.h"
#include "program/program.h"
#include "transcript/transcriptbox.h"
#include "connection/winsock.h"
#include "support/goals.h"
#include "support/measure.h"
#include "support/rounds.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>
#include <QThread>

namespace {

constexpr qint64 LineChars = 55;

// One block of whole chat lines, each CR LF, "Ann: " and 48 characters.
QByteArray floodBlock()
{
    QByteArray block;
    for (int n = 0; n < 1200; ++n) {
        QByteArray line = "\r\nAnn: " + QByteArray::number(n).rightJustified(6, '0') + ' ';
        line += QByteArray(LineChars - line.size(), 'x');
        block += line;
    }
    return block;
}

// Seconds for a reader that only counts the bytes.
Figures countingReader(qint64 total)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    qint64 received = 0;
    QEventLoop loop;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket *peer = server.nextPendingConnection();
        QObject::connect(peer, &QIODevice::readyRead, [&, peer] { received += peer->readAll().size(); });
        QObject::connect(peer, &QAbstractSocket::disconnected, &loop, &QEventLoop::quit);
    });
    QElapsedTimer timer;
    timer.start();
    QThread *sender = startSender(server.serverPort(), floodBlock(), total);
    loop.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    sender->wait();
    delete sender;
    if (received != total)
        qFatal("counting reader got %lld of %lld bytes", received, total);
    return {{QStringLiteral("seconds"), seconds}};
}

// The same flood into a chat window, listening as server through its endpoint.
Figures chatWindow(qint64 total)
{
    platform::Program program;
    app::prepareProgram(program);
    program.setMessageBoxService(std::make_unique<FatalBoxes>());
    FormChat &chat = program.form<FormChat>();
    chat.Winsock->Close();
    chat.Winsock->setLocalPort(0);
    chat.Winsock->Listen();
    chat.Show();
    QApplication::processEvents();
    const qint64 rssBefore = residentBytes();
    QEventLoop loop;
    QObject::connect(chat.Winsock, &platform::Winsock::closed, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QElapsedTimer timer;
    timer.start();
    QThread *sender = startSender(static_cast<quint16>(chat.Winsock->LocalPort()), floodBlock(), total);
    double stallMs = 0, laterMs = 0;
    int over = 0;
    {
        StallMeter meter;
        loop.exec();
        stallMs = meter.longestMs();
        laterMs = meter.longestAfterFirstSecondMs();
        over = meter.countOverMs(50);
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    sender->wait();
    delete sender;
    const QString &text = chat.ScreenMsg->Text();
    if (!text.endsWith(QString::fromLatin1(floodBlock().right(LineChars))) || chat.Status->text() != "Disconnected")
        qFatal("the transcript does not end with the last line sent: %s (%s)",
               qPrintable(text.right(LineChars)), qPrintable(chat.Status->text()));
    if (chat.ScreenMsg->viewLength() < text.size() / 2)
        qFatal("the view does not show the transcript");
    const qint64 rssAfter = residentBytes();
    return {{QStringLiteral("seconds"), seconds},
            {QStringLiteral("stall_ms"), stallMs},
            {QStringLiteral("later_stall_ms"), laterMs},
            {QStringLiteral("stalls_over_50"), double(over)},
            {QStringLiteral("kept_chars"), double(text.size())},
            {QStringLiteral("rss_mb"), rssAfter / 1e6},
            {QStringLiteral("growth_mb"), (rssAfter - rssBefore) / 1e6},
            {QStringLiteral("growth_per_char"), double(rssAfter - rssBefore) / text.size()}};
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The program's own fonts and accessibility, as users get them.
    app::prepareApplication();
    const QStringList args = app.arguments();
    Rounds rounds(args);
    qint64 megabytes = rounds.quick() ? 20 : 100;
    if (const qsizetype i = args.indexOf(QStringLiteral("--mb")); i >= 0 && i + 1 < args.size())
        megabytes = args.at(i + 1).toLongLong();
    // Whole blocks of whole lines (MB = 10^6 bytes).
    const qint64 blockBytes = floodBlock().size();
    const qint64 total = megabytes * 1000 * 1000 / blockBytes * blockBytes;

    if (const QString name = childCase(args); !name.isEmpty())
        return printFigures(name == QLatin1String("reader") ? countingReader(total) : chatWindow(total));

    const QStringList passed = passedOn(args);
    rounds.run({{QStringLiteral("reader"), [&] { return runChild(QStringLiteral("reader"), passed); }},
                {QStringLiteral("window"), [&] { return runChild(QStringLiteral("window"), passed); }}});

    // Rates per round, so each median comes from one set of rounds.
    const auto rate = [&](const QString &name, double per) {
        QList<double> rates;
        for (double seconds : rounds.values(name, QStringLiteral("seconds")))
            rates.append(per / seconds);
        return spreadOf(rates);
    };
    const double megabytesSent = total / 1e6;
    const double lines = double(total) / LineChars;
    QTextStream out(stdout);
    out << QStringLiteral("Flood of %1 MB (%2 lines of %3 characters), MB = 10^6 bytes;\n"
                          "median of %4 rounds (lowest-highest), each run a fresh process\n")
               .arg(megabytesSent, 0, 'f', 1).arg(qint64(lines)).arg(LineChars).arg(rounds.count());
    out << QStringLiteral("%1 %2 %3\n").arg(QStringLiteral("reader"), -28).arg(QStringLiteral("lines/s"), 30)
               .arg(QStringLiteral("MB/s"), 22);
    const auto row = [&](const QString &label, const QString &name) {
        out << QStringLiteral("%1 %2 %3\n").arg(label, -28).arg(showSpread(rate(name, lines), 0), 30)
                   .arg(showSpread(rate(name, megabytesSent), 1), 22);
    };
    row(QStringLiteral("counting reader (baseline)"), QStringLiteral("reader"));
    row(QStringLiteral("chat window transcript"), QStringLiteral("window"));
    // Throughput of the window over the reader's: the reader's seconds over the window's.
    const Spread share = rounds.ratio(QStringLiteral("reader"), QStringLiteral("seconds"), QStringLiteral("window"),
                                      QStringLiteral("seconds"));
    const Spread stall = rounds.spread(QStringLiteral("window"), QStringLiteral("stall_ms"));
    const Spread perChar = rounds.spread(QStringLiteral("window"), QStringLiteral("growth_per_char"));
    out << QStringLiteral("lines/s of the chat window / lines/s of the counting reader: %1\n").arg(showSpread(share, 3));
    out << QStringLiteral("longest event-loop stall: %1 ms; after the first second %2 ms; stalls over 50 ms: %3\n")
               .arg(showSpread(stall, 1))
               .arg(showSpread(rounds.spread(QStringLiteral("window"), QStringLiteral("later_stall_ms")), 1))
               .arg(showSpread(rounds.spread(QStringLiteral("window"), QStringLiteral("stalls_over_50")), 0));
    out << QStringLiteral("kept characters: %1 (bound %2)\n")
               .arg(showSpread(rounds.spread(QStringLiteral("window"), QStringLiteral("kept_chars")), 0))
               .arg(FormChat::TranscriptBound);
    out << QStringLiteral("VmRSS at the end: %1 MB\n")
               .arg(showSpread(rounds.spread(QStringLiteral("window"), QStringLiteral("rss_mb")), 1));
    out << QStringLiteral("VmRSS growth during the flood: %1 MB, %2 bytes per kept character\n")
               .arg(showSpread(rounds.spread(QStringLiteral("window"), QStringLiteral("growth_mb")), 1))
               .arg(showSpread(perChar, 2));

    Goals goals(out);
    goals.atLeast(QStringLiteral("lines/s into the chat window"), rate(QStringLiteral("window"), lines).median, 1e6);
    goals.atLeast(QStringLiteral("chat window / counting reader, lines/s"), share.median, 0.25, QStringLiteral("x"));
    goals.atMost(QStringLiteral("longest stall in the chat-line flood"), stall.median, 50, QStringLiteral("ms"));
    goals.atMost(QStringLiteral("VmRSS growth per kept character"), perChar.median, 6, QStringLiteral("bytes"));
    return goals.exitCode();
}
