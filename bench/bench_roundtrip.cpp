// Round trip between two chat windows in one process: Send on Ann's copy, the
// line in Bob's transcript, Bob's Send at once, and Bob's line in Ann's
// transcript. Against two plain QPlainTextEdit windows doing the same appends
// over raw sockets (the floor for any Qt chat window), measured in the same
// rounds; then both again with their transcripts at the bound; and a raw
// socket ping-pong for scale.
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
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextBlock>
#include <QTextStream>

#include <vector>

namespace {

int Trips = 2000;
// Characters one trip adds to each transcript: "\r\nAnn: hi" and "\r\nBob: ho".
constexpr qsizetype TripChars = 18;

Figures tripFigures(const std::vector<double> &micros)
{
    return {{QStringLiteral("p50"), percentile(micros, 0.50)},
            {QStringLiteral("p99"), percentile(micros, 0.99)},
            {QStringLiteral("max"), percentile(micros, 1.0)}};
}

// Chat lines up to `chars` characters, for a transcript that starts full.
QString filler(qsizetype chars)
{
    QString text;
    text.reserve(chars);
    for (qint64 n = 0; text.size() < chars; ++n)
        text += QStringLiteral("\r\nAnn: an earlier line of the conversation, number %1").arg(n);
    text.truncate(chars);
    return text;
}

// Fills to `chars` in pieces the size of big arrivals.
template <class Append>
void fill(qsizetype chars, Append append)
{
    const QString text = filler(chars);
    for (qsizetype at = 0; at < text.size(); at += 64 * 1024)
        append(text.mid(at, 64 * 1024));
}

// Two raw sockets bouncing one 9-byte line.
Figures rawPingPong()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    client.waitForConnected(5000);
    server.waitForNewConnection(5000);
    QTcpSocket *peer = server.nextPendingConnection();
    for (QTcpSocket *socket : {&client, peer})
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const QByteArray line("\r\nAnn: hi");
    std::vector<double> trips;
    QElapsedTimer clock;
    QEventLoop loop;
    QObject::connect(peer, &QIODevice::readyRead, [&] {
        peer->readAll();
        peer->write(line);
    });
    QObject::connect(&client, &QIODevice::readyRead, [&] {
        client.readAll();
        trips.push_back(clock.nsecsElapsed() / 1e3);
        if (int(trips.size()) == Trips) {
            loop.quit();
            return;
        }
        clock.start();
        client.write(line);
    });
    clock.start();
    client.write(line);
    loop.exec();
    delete peer;
    return tripFigures(trips);
}

Figures plainRoundTrip(qsizetype prefill)
{
    PlainPair pair;
    if (prefill > 0) {
        for (PlainWindow *window : {&pair.ann, &pair.bob})
            fill(prefill, [&](const QString &piece) { window->append(piece); });
        QApplication::processEvents();
    }
    std::vector<double> trips;
    QElapsedTimer clock;
    QEventLoop loop;
    QObject::connect(&pair.bob, &PlainWindow::arrived, [&] {
        pair.bob.input()->setText(QStringLiteral("ho"));
        pair.bob.send();
    });
    QObject::connect(&pair.ann, &PlainWindow::arrived, [&] {
        trips.push_back(clock.nsecsElapsed() / 1e3);
        if (int(trips.size()) == Trips) {
            loop.quit();
            return;
        }
        clock.start();
        pair.ann.input()->setText(QStringLiteral("hi"));
        pair.ann.send();
    });
    clock.start();
    pair.ann.input()->setText(QStringLiteral("hi"));
    pair.ann.send();
    loop.exec();
    if (!pair.ann.transcript()->document()->lastBlock().text().endsWith(QStringLiteral("Bob: ho")))
        qFatal("the plain transcript does not end with Bob's line");
    return tripFigures(trips);
}

FormChat &chatWindow(platform::Program &program, const QString &name)
{
    program.setMessageBoxService(std::make_unique<FatalBoxes>());
    program.form<FormSetup>().UserName->setText(name);
    FormChat &chat = program.form<FormChat>();
    chat.Show();
    return chat;
}

// Two programs chatting through their windows' controls.
Figures chatRoundTrip(qsizetype prefill)
{
    platform::Program ann, bob;
    app::prepareProgram(ann);
    app::prepareProgram(bob);
    FormChat &annChat = chatWindow(ann, QStringLiteral("Ann"));
    FormChat &bobChat = chatWindow(bob, QStringLiteral("Bob"));
    annChat.Winsock->Close();
    annChat.Winsock->setLocalPort(0);
    annChat.Winsock->Listen();
    bobChat.Winsock->Close();
    bobChat.Winsock->setRemoteHost(QStringLiteral("127.0.0.1"));
    bobChat.Winsock->setRemotePort(annChat.Winsock->LocalPort());
    bobChat.Winsock->Connect();
    while (!annChat.Command1->isEnabled() || !bobChat.Command1->isEnabled())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (prefill > 0) {
        for (FormChat *chat : {&annChat, &bobChat}) {
            fill(prefill - chat->ScreenMsg->Text().size(), [&](const QString &piece) { chat->ScreenMsg->appendText(piece); });
            chat->ScreenMsg->setSelStart(chat->ScreenMsg->Text().size());
        }
        QApplication::processEvents();
    }

    std::vector<double> trips;
    QElapsedTimer clock;
    QEventLoop loop;
    // Connected after the window's own handler, so the line is in the transcript.
    QObject::connect(bobChat.Winsock, &platform::Winsock::dataArrival, [&] {
        bobChat.MyMsg->setText(QStringLiteral("ho"));
        bobChat.Command1->click();
    });
    QObject::connect(annChat.Winsock, &platform::Winsock::dataArrival, [&] {
        trips.push_back(clock.nsecsElapsed() / 1e3);
        if (int(trips.size()) == Trips) {
            loop.quit();
            return;
        }
        clock.start();
        annChat.MyMsg->setText(QStringLiteral("hi"));
        annChat.Command1->click();
    });
    clock.start();
    annChat.MyMsg->setText(QStringLiteral("hi"));
    annChat.Command1->click();
    loop.exec();
    if (!annChat.ScreenMsg->Text().endsWith(QStringLiteral("\r\n\r\nBob: ho")))
        qFatal("Ann's transcript does not end with Bob's line");
    if (prefill > 0 && annChat.ScreenMsg->Text().size() >= prefill)
        qFatal("the transcript was never trimmed: it did not reach its bound");
    return tripFigures(trips);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The program's own fonts and accessibility, as users get them.
    app::prepareApplication();
    QTextStream out(stdout);
    Rounds rounds(app.arguments());
    if (rounds.quick())
        Trips = 500;
    // Full enough that each transcript passes its bound halfway through the trips.
    const qsizetype full = FormChat::TranscriptBound - qsizetype(Trips / 2) * TripChars;

    rounds.run({
        {QStringLiteral("plain"), [] { return plainRoundTrip(0); }},
        {QStringLiteral("chat"), [] { return chatRoundTrip(0); }},
        {QStringLiteral("plain full"), [full] { return plainRoundTrip(full); }},
        {QStringLiteral("chat full"), [full] { return chatRoundTrip(full); }},
        {QStringLiteral("raw"), [] { return rawPingPong(); }},
    });

    out << QStringLiteral("Round trip, %1 trips a round; median of %2 rounds (lowest-highest), microseconds\n")
               .arg(Trips).arg(rounds.count());
    const auto row = [&](const QString &label, const QString &name) {
        out << QStringLiteral("%1 %2 %3 %4\n")
                   .arg(label, -46)
                   .arg(showSpread(rounds.spread(name, QStringLiteral("p50")), 0), 20)
                   .arg(showSpread(rounds.spread(name, QStringLiteral("p99")), 0), 22)
                   .arg(showSpread(rounds.spread(name, QStringLiteral("max")), 0), 24);
    };
    out << QStringLiteral("%1 %2 %3 %4\n").arg(QString(), -46).arg(QStringLiteral("p50"), 20)
               .arg(QStringLiteral("p99"), 22).arg(QStringLiteral("longest"), 24);
    row(QStringLiteral("plain QPlainTextEdit windows (baseline)"), QStringLiteral("plain"));
    row(QStringLiteral("chat windows"), QStringLiteral("chat"));
    row(QStringLiteral("plain windows, 4 Mi characters each"), QStringLiteral("plain full"));
    row(QStringLiteral("chat windows at the bound (a trim each)"), QStringLiteral("chat full"));
    row(QStringLiteral("raw socket ping-pong (for scale)"), QStringLiteral("raw"));

    const Spread p50 = rounds.ratio(QStringLiteral("chat"), QStringLiteral("p50"), QStringLiteral("plain"), QStringLiteral("p50"));
    const Spread p99 = rounds.ratio(QStringLiteral("chat"), QStringLiteral("p99"), QStringLiteral("plain"), QStringLiteral("p99"));
    out << QStringLiteral("p50 chat / p50 plain windows: %1\n").arg(showSpread(p50, 2));
    out << QStringLiteral("p99 chat / p99 plain windows: %1\n").arg(showSpread(p99, 2));

    Goals goals(out);
    goals.atMost(QStringLiteral("round trip p50, chat / plain windows"), p50.median, 1.5, QStringLiteral("x"));
    goals.atMost(QStringLiteral("round trip p99 at the bound"),
                 rounds.spread(QStringLiteral("chat full"), QStringLiteral("p99")).median / 1000, 16, QStringLiteral("ms"));
    return goals.exitCode();
}
