// A hostile peer against a real chat window: random bytes (NUL, invalid
// UTF-8, hardly a line break) and chat lines full of markup and emoji, each
// sent as fast as a raw socket can from a thread of its own, against a reader
// that only counts the same bytes; then one 1 MB line typed into MyMsg, sent
// with Send and received by a second copy, against two plain QPlainTextEdit
// windows sending the same line. Prints the longest event-loop stall (a 1 ms
// timer's largest gap), the resident memory the flood adds and throughput.
// Every run is a fresh process, so no case inherits another's heap or fonts.
//
// Usage: bench_hostile [--quick] [--mb N (random bytes, default 10)] [--rounds N]

#include "chat/formchat.h"
#include "app/startup.h"
#include "program/program.h"
#include "transcript/transcriptbox.h"
#include "connection/winsock.h"
#include "setup/formsetup.h"
#include "support/goals.h"
#include "support/measure.h"
#include "support/plainpair.h"
#include "support/rounds.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>
#include <QThread>
#include <QTimer>

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

// Seconds for a reader that only counts the bytes.
Figures countingReader(const QByteArray &block, qint64 total)
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
    QElapsedTimer clock;
    clock.start();
    QThread *sender = startSender(server.serverPort(), block, total);
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    sender->wait();
    delete sender;
    if (received != total)
        qFatal("counting reader got %lld of %lld bytes", received, total);
    return {{QStringLiteral("seconds"), seconds}};
}

// A flood into a chat window listening as server, until the peer has gone.
Figures flood(const QByteArray &block, qint64 total)
{
    platform::Program program;
    app::prepareProgram(program);
    program.setMessageBoxService(std::make_unique<FatalBoxes>());
    FormChat &chat = program.form<FormChat>();
    chat.Winsock->setLocalPort(0);
    chat.Winsock->Listen();
    chat.Show();
    QApplication::processEvents();
    const qint64 rssBefore = residentBytes();
    QEventLoop loop;
    QObject::connect(chat.Winsock, &platform::Winsock::closed, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QElapsedTimer clock;
    clock.start();
    QThread *sender = startSender(static_cast<quint16>(chat.Winsock->LocalPort()), block, total);
    double stallMs = 0, laterMs = 0;
    int over = 0;
    {
        StallMeter meter;
        loop.exec();
        stallMs = meter.longestMs();
        laterMs = meter.longestAfterFirstSecondMs();
        over = meter.countOverMs(50);
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    sender->wait();
    delete sender;
    if (chat.Status->text() != QLatin1String("Disconnected"))
        qFatal("the flood did not end in Disconnected");
    return {{QStringLiteral("seconds"), seconds},
            {QStringLiteral("stall_ms"), stallMs},
            {QStringLiteral("later_stall_ms"), laterMs},
            {QStringLiteral("stalls_over_50"), double(over)},
            {QStringLiteral("growth_mb"), (residentBytes() - rssBefore) / 1e6},
            {QStringLiteral("kept_chars"), double(chat.ScreenMsg->Text().size())}};
}

// The stall meter's own floor: an idle chat window for two seconds.
Figures idle()
{
    platform::Program program;
    app::prepareProgram(program);
    program.form<FormChat>().Show();
    QApplication::processEvents();
    StallMeter meter;
    QEventLoop loop;
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    loop.exec();
    return {{QStringLiteral("stall_ms"), meter.longestMs()}};
}

QString longMessage(qsizetype chars)
{
    QString message;
    message.reserve(chars);
    for (qsizetype i = 0; message.size() < chars; ++i)
        message += i % 7 == 6 ? QChar(u' ') : QChar(char16_t(u'a' + i % 26));
    return message;
}

// Sends one line of `chars` characters with `send` and waits until `arrived`
// has seen all of it, then lets both windows paint.
template <class Send>
Figures timeLongLine(qsizetype expected, const qsizetype &arrived, Send send)
{
    StallMeter meter;
    QElapsedTimer clock;
    clock.start();
    send();
    const double sendMs = clock.nsecsElapsed() / 1e6;
    while (arrived < expected)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double receiveMs = clock.nsecsElapsed() / 1e6;
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    if (arrived != expected)
        qFatal("the long line arrived with %lld characters, not %lld", qint64(arrived), qint64(expected));
    return {{QStringLiteral("send_ms"), sendMs},
            {QStringLiteral("receive_ms"), receiveMs},
            {QStringLiteral("stall_ms"), std::max(meter.longestMs(), sendMs)}};
}

// One line typed into MyMsg and sent to a second copy.
Figures chatLongLine(qsizetype chars)
{
    platform::Program server, client;
    app::prepareProgram(server);
    app::prepareProgram(client);
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
    const QString message = longMessage(chars);
    from.MyMsg->setText(message);
    QApplication::processEvents();
    // The receiver shows each arrival after a CR LF of its own: count the arrivals instead.
    qsizetype arrived = 0;
    QObject::connect(to.Winsock, &platform::Winsock::dataArrival, &to, [&] { arrived += to.InData.size(); });
    const Figures figures = timeLongLine(2 + 5 + message.size(), arrived, [&] { from.Command1->click(); });
    if (!to.ScreenMsg->Text().endsWith(message.right(100)))
        qFatal("the long line did not arrive whole");
    return figures;
}

Figures plainLongLine(qsizetype chars)
{
    PlainPair pair;
    const QString message = longMessage(chars);
    pair.ann.input()->setText(message);
    QApplication::processEvents();
    qsizetype arrived = 0;
    QObject::connect(&pair.bob, &PlainWindow::arrived, [&](qsizetype n) { arrived += n; });
    return timeLongLine(2 + 5 + message.size(), arrived, [&] { pair.ann.send(); });
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The program's own fonts and accessibility, as users get them.
    app::prepareApplication();
    const QStringList args = app.arguments();
    Rounds rounds(args);
    qint64 randomMb = rounds.quick() ? 3 : 10;
    if (const qsizetype i = args.indexOf(QStringLiteral("--mb")); i >= 0 && i + 1 < args.size())
        randomMb = args.at(i + 1).toLongLong();
    const qint64 linesMb = rounds.quick() ? 5 : 20;
    constexpr qsizetype LineChars = 1000 * 1000;

    // MB = 10^6 bytes.
    const qint64 randomBytes = randomMb * 1000 * 1000;
    const qint64 lineBytes = linesMb * 1000 * 1000;
    if (const QString name = childCase(args); !name.isEmpty()) {
        if (name == QLatin1String("reader random"))
            return printFigures(countingReader(randomBlock(), randomBytes));
        if (name == QLatin1String("window random"))
            return printFigures(flood(randomBlock(), randomBytes));
        if (name == QLatin1String("reader lines"))
            return printFigures(countingReader(chatLineBlock(), lineBytes));
        if (name == QLatin1String("window lines"))
            return printFigures(flood(chatLineBlock(), lineBytes));
        if (name == QLatin1String("idle"))
            return printFigures(idle());
        if (name == QLatin1String("line plain"))
            return printFigures(plainLongLine(LineChars));
        if (name == QLatin1String("line chat"))
            return printFigures(chatLongLine(LineChars));
        qFatal("no case %s", qPrintable(name));
    }

    const QStringList passed = passedOn(args);
    QList<Case> cases;
    for (const char *name : {"reader random", "window random", "reader lines", "window lines", "idle", "line plain",
                             "line chat"}) {
        const QString caseName = QString::fromLatin1(name);
        cases.append({caseName, [caseName, passed] { return runChild(caseName, passed); }});
    }
    rounds.run(cases);

    QTextStream out(stdout);
    const auto rate = [&](const QString &name, double megabytes) {
        QList<double> rates;
        for (double seconds : rounds.values(name, QStringLiteral("seconds")))
            rates.append(megabytes / seconds);
        return spreadOf(rates);
    };
    out << QStringLiteral("Hostile peer: %1 MB of random bytes, %2 MB of chat lines (MB = 10^6 bytes);\n"
                          "median of %3 rounds (lowest-highest), each run a fresh process\n")
               .arg(randomMb).arg(linesMb).arg(rounds.count());
    out << QStringLiteral("%1 %2 %3 %4 %5\n").arg(QStringLiteral("flood"), -26).arg(QStringLiteral("MB/s"), 20)
               .arg(QStringLiteral("stall ms"), 20).arg(QStringLiteral("VmRSS growth MB"), 20)
               .arg(QStringLiteral("kept characters"), 28);
    const auto readerRow = [&](const QString &label, const QString &name, double megabytes) {
        out << QStringLiteral("%1 %2\n").arg(label, -26).arg(showSpread(rate(name, megabytes), 1), 20);
    };
    const auto floodRow = [&](const QString &label, const QString &name, double megabytes) {
        out << QStringLiteral("%1 %2 %3 %4 %5\n").arg(label, -26)
                   .arg(showSpread(rate(name, megabytes), 1), 20)
                   .arg(showSpread(rounds.spread(name, QStringLiteral("stall_ms")), 1), 20)
                   .arg(showSpread(rounds.spread(name, QStringLiteral("growth_mb")), 1), 20)
                   .arg(showSpread(rounds.spread(name, QStringLiteral("kept_chars")), 0), 28);
    };
    readerRow(QStringLiteral("random: counting reader"), QStringLiteral("reader random"), randomMb);
    floodRow(QStringLiteral("random: chat window"), QStringLiteral("window random"), randomMb);
    readerRow(QStringLiteral("lines: counting reader"), QStringLiteral("reader lines"), linesMb);
    floodRow(QStringLiteral("lines: chat window"), QStringLiteral("window lines"), linesMb);
    const Spread randomShare = rounds.ratio(QStringLiteral("reader random"), QStringLiteral("seconds"),
                                            QStringLiteral("window random"), QStringLiteral("seconds"));
    const Spread linesShare = rounds.ratio(QStringLiteral("reader lines"), QStringLiteral("seconds"),
                                           QStringLiteral("window lines"), QStringLiteral("seconds"));
    out << QStringLiteral("MB/s of the chat window / MB/s of the counting reader: random %1, lines %2\n")
               .arg(showSpread(randomShare, 3), showSpread(linesShare, 3));
    const auto stallRow = [&](const QString &label, const QString &name) {
        out << QStringLiteral("%1: longest stall after the first second %2 ms, stalls over 50 ms %3\n")
                   .arg(label, showSpread(rounds.spread(name, QStringLiteral("later_stall_ms")), 1),
                        showSpread(rounds.spread(name, QStringLiteral("stalls_over_50")), 0));
    };
    stallRow(QStringLiteral("random"), QStringLiteral("window random"));
    stallRow(QStringLiteral("lines"), QStringLiteral("window lines"));
    out << QStringLiteral("stall meter's floor (an idle chat window, 2 s): %1 ms\n")
               .arg(showSpread(rounds.spread(QStringLiteral("idle"), QStringLiteral("stall_ms")), 1));
    out << QStringLiteral("transcript bound: %1 characters\n").arg(FormChat::TranscriptBound);

    out << QStringLiteral("1 MB line (%1 characters)%2 %3 %4\n").arg(LineChars).arg(QStringLiteral("Send ms"), 20)
               .arg(QStringLiteral("received whole ms"), 22).arg(QStringLiteral("stall ms"), 22);
    const auto lineRow = [&](const QString &label, const QString &name) {
        out << QStringLiteral("%1 %2 %3 %4\n").arg(label, -26)
                   .arg(showSpread(rounds.spread(name, QStringLiteral("send_ms")), 1), 20)
                   .arg(showSpread(rounds.spread(name, QStringLiteral("receive_ms")), 1), 22)
                   .arg(showSpread(rounds.spread(name, QStringLiteral("stall_ms")), 1), 22);
    };
    lineRow(QStringLiteral("plain windows (baseline)"), QStringLiteral("line plain"));
    lineRow(QStringLiteral("chat windows"), QStringLiteral("line chat"));
    const Spread lineRatio = rounds.ratio(QStringLiteral("line chat"), QStringLiteral("stall_ms"),
                                          QStringLiteral("line plain"), QStringLiteral("stall_ms"));
    out << QStringLiteral("1 MB line, stall of the chat windows / stall of the plain windows: %1\n")
               .arg(showSpread(lineRatio, 2));

    Goals goals(out);
    goals.atMost(QStringLiteral("longest stall, random-byte flood"),
                 rounds.spread(QStringLiteral("window random"), QStringLiteral("stall_ms")).median, 50,
                 QStringLiteral("ms"));
    goals.atMost(QStringLiteral("longest stall, chat-line flood"),
                 rounds.spread(QStringLiteral("window lines"), QStringLiteral("stall_ms")).median, 50,
                 QStringLiteral("ms"));
    goals.atMost(QStringLiteral("longest stall, 1 MB line"),
                 rounds.spread(QStringLiteral("line chat"), QStringLiteral("stall_ms")).median, 200,
                 QStringLiteral("ms"));
    return goals.exitCode();
}
