// Round trip between two chat windows in one process: Send on one copy, the
// line lands in the other's transcript, which sends one back at once. Against
// a raw socket ping-pong of the same bytes in the same run.
#include "chat/formchat.h"
#include "platform/core/program.h"
#include "platform/ui/transcriptbox.h"
#include "platform/net/winsock.h"
#include "setup/formsetup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

int Trips = 10000;

struct Percentiles
{
    double p50;
    double p99;
};

Percentiles percentiles(std::vector<qint64> nanoseconds)
{
    std::sort(nanoseconds.begin(), nanoseconds.end());
    const auto at = [&](double q) { return nanoseconds[size_t(q * (nanoseconds.size() - 1))] / 1000.0; };
    return {at(0.50), at(0.99)};
}

// Two raw sockets bouncing one 9-byte line.
Percentiles rawPingPong()
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
    std::vector<qint64> trips;
    trips.reserve(Trips);
    QElapsedTimer clock;
    QEventLoop loop;
    QObject::connect(peer, &QIODevice::readyRead, [&] {
        peer->readAll();
        peer->write(line);
    });
    QObject::connect(&client, &QIODevice::readyRead, [&] {
        client.readAll();
        trips.push_back(clock.nsecsElapsed());
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
    return percentiles(trips);
}

FormChat &chatWindow(platform::Program &program, const QString &name)
{
    program.form<FormSetup>().UserName->setText(name);
    FormChat &chat = program.form<FormChat>();
    chat.Show();
    return chat;
}

// Two programs chatting: each trip is Send on Ann's side, the line in Bob's
// transcript, Bob's Send, and Bob's line in Ann's transcript.
Percentiles chatRoundTrip()
{
    platform::Program ann, bob;
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

    std::vector<qint64> trips;
    trips.reserve(Trips);
    QElapsedTimer clock;
    QEventLoop loop;
    // Connected after the window's own handler, so the line is in the transcript.
    QObject::connect(bobChat.Winsock, &platform::Winsock::dataArrival, [&] {
        bobChat.MyMsg->setText(QStringLiteral("ho"));
        bobChat.Command1->click();
    });
    QObject::connect(annChat.Winsock, &platform::Winsock::dataArrival, [&] {
        trips.push_back(clock.nsecsElapsed());
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
    return percentiles(trips);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    if (app.arguments().contains(QStringLiteral("--quick")))
        Trips = 2000;
    const Percentiles raw = rawPingPong();
    const Percentiles chat = chatRoundTrip();
    out << QStringLiteral("Round trip over %1 trips (microseconds)\n").arg(Trips);
    out << QStringLiteral("%1 %2 %3\n").arg(QStringLiteral(""), -34).arg(QStringLiteral("p50"), 9).arg(QStringLiteral("p99"), 9);
    out << QStringLiteral("%1 %2 %3\n").arg(QStringLiteral("raw socket ping-pong (baseline)"), -34)
               .arg(raw.p50, 9, 'f', 1).arg(raw.p99, 9, 'f', 1);
    out << QStringLiteral("%1 %2 %3\n").arg(QStringLiteral("Send -> transcript -> Send back"), -34)
               .arg(chat.p50, 9, 'f', 1).arg(chat.p99, 9, 'f', 1);
    out << QStringLiteral("p50 chat / raw: %1 (goal <= 2)\n").arg(chat.p50 / raw.p50, 0, 'f', 2);
    out << QStringLiteral("p99 chat / raw: %1\n").arg(chat.p99 / raw.p99, 0, 'f', 2);
    return 0;
}
