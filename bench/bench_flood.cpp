// A peer that floods the chat window: 100 MB of 55-character chat lines sent
// as fast as a raw socket can, into a real chat window through its endpoint,
// against a reader that only counts the bytes. Also the longest stall of the
// event loop during the flood and the resident memory per kept character.
#include "chat/formchat.h"
#include "support/measure.h"
#include "platform/core/program.h"
#include "platform/ui/transcriptbox.h"
#include "platform/net/winsock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <cstdio>

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
double countingReader(qint64 total)
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
    return seconds;
}

struct ChatFigures
{
    double seconds;
    double stallMs;
    qint64 keptChars;
    qint64 rssBefore;
    qint64 rssAfter;
};

// The same flood into a chat window, listening as server through its endpoint.
ChatFigures chatWindow(qint64 total)
{
    platform::Program program;
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
    double stallMs = 0;
    {
        StallMeter meter;
        loop.exec();
        stallMs = meter.longestMs();
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    sender->wait();
    delete sender;
    const QString &text = chat.ScreenMsg->Text();
    if (!text.endsWith(QString::fromLatin1(floodBlock().right(LineChars))) || chat.Status->text() != "Disconnected")
        qFatal("the transcript does not end with the last line sent: %s (%s)",
               qPrintable(text.right(LineChars)), qPrintable(chat.Status->text()));
    if (chat.ScreenMsg->document()->characterCount() < text.size() / 2)
        qFatal("the view does not show the transcript");
    return {seconds, stallMs, text.size(), rssBefore, residentBytes()};
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    // Whole blocks of whole lines, about 100 MB.
    const qint64 blockBytes = floodBlock().size();
    const qint64 total = (quick ? 20 : 100) * qint64(1000 * 1000) / blockBytes * blockBytes;
    const double megabytes = total / 1e6;
    const double lines = double(total) / LineChars;

    const double raw = countingReader(total);
    const ChatFigures chat = chatWindow(total);

    out << QStringLiteral("Flood of %1 MB (%2 lines of %3 characters)\n").arg(megabytes).arg(qint64(lines)).arg(LineChars);
    out << QStringLiteral("%1 %2 %3\n").arg(QStringLiteral("reader"), -28).arg(QStringLiteral("lines/s"), 12).arg(QStringLiteral("MB/s"), 10);
    out << QStringLiteral("%1 %2 %3\n").arg(QStringLiteral("counting reader (baseline)"), -28)
               .arg(lines / raw, 12, 'f', 0).arg(megabytes / raw, 10, 'f', 1);
    out << QStringLiteral("%1 %2 %3\n").arg(QStringLiteral("chat window transcript"), -28)
               .arg(lines / chat.seconds, 12, 'f', 0).arg(megabytes / chat.seconds, 10, 'f', 1);
    out << QStringLiteral("chat window / counting reader: %1 (goal >= 0.25)\n").arg(raw / chat.seconds, 0, 'f', 2);
    out << QStringLiteral("lines/s into the transcript: %1 (goal >= 1000000)\n").arg(lines / chat.seconds, 0, 'f', 0);
    out << QStringLiteral("longest event-loop stall: %1 ms (goal <= 50)\n").arg(chat.stallMs, 0, 'f', 1);
    out << QStringLiteral("kept characters: %1 (bound %2)\n").arg(chat.keptChars).arg(FormChat::TranscriptBound);
    out << QStringLiteral("VmRSS at the end: %1 MB, %2 bytes per kept character (goal <= 6)\n")
               .arg(chat.rssAfter / 1e6, 0, 'f', 1)
               .arg(double(chat.rssAfter) / chat.keptChars, 0, 'f', 2);
    out << QStringLiteral("VmRSS growth during the flood: %1 MB, %2 bytes per kept character\n")
               .arg((chat.rssAfter - chat.rssBefore) / 1e6, 0, 'f', 1)
               .arg(double(chat.rssAfter - chat.rssBefore) / chat.keptChars, 0, 'f', 2);
    return 0;
}
