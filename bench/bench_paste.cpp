// A huge paste: 1 MB and 10 MB of text pasted into MyMsg (Ctrl+V), all of it
// cut (Ctrl+A, Ctrl+X) and the cut undone (Ctrl+Z), then sent with Send to a
// peer that reads in a thread of its own.
// Prints the longest event-loop stall (a 1 ms timer's largest gap) of the
// paste, of the cut and its undo, and of the Send, the peak resident memory (VmHWM, reset before each
// row) and the resident memory once everything is sent, against an idle
// window measured in the same run.
//
// Usage: bench_paste [--mb N] (default 10)

#include "chat/formchat.h"
#include "app/startup.h"
#include "program/program.h"
#include "connection/winsock.h"
#include "setup/formsetup.h"
#include "support/goals.h"
#include "support/measure.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>
#include <QThread>

#include <atomic>
#include <cstdio>

namespace {

qint64 statusField(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return 0;
}

// Lets the peak resident memory start again from what is resident now.
void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// Runs the event loop for `ms`, or until `done`.
void runFor(int ms, const std::function<bool()> &done = {})
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && !(done && done()))
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

// Presses the keys of a standard sequence in `box`, from the event loop, and
// returns the longest stall until 1.5 s later.
double keysStall(QWidget *box, std::initializer_list<QKeySequence::StandardKey> keys)
{
    StallMeter meter;
    QTimer::singleShot(0, box, [box, keys] {
        for (QKeySequence::StandardKey key : keys) {
            const QKeyCombination combination = QKeySequence(key)[0];
            QKeyEvent press(QEvent::KeyPress, combination.key(), combination.keyboardModifiers());
            QApplication::sendEvent(box, &press);
        }
    });
    runFor(1500);
    return meter.longestMs();
}

struct Row
{
    double pasteStallMs = 0;
    double cutStallMs = 0;
    double undoStallMs = 0;
    double sendStallMs = 0;
    double sendSeconds = 0;
    qint64 peak = 0;
    qint64 after = 0;
};

Row pasteAndSend(qsizetype chars)
{
    // The peer: counts what arrives, in a thread of its own.
    std::atomic<quint16> port{0};
    std::atomic<qint64> received{0};
    std::atomic<bool> stop{false};
    QThread *peer = QThread::create([&] {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        port = server.serverPort();
        if (!server.waitForNewConnection(10000))
            qFatal("peer: nobody connected");
        QTcpSocket *socket = server.nextPendingConnection();
        while (!stop) {
            socket->waitForReadyRead(20);
            received += socket->readAll().size();
        }
    });
    peer->start();
    while (port == 0)
        QThread::msleep(1);

    platform::Program program;
    app::prepareProgram(program);
    program.setMessageBoxService(std::make_unique<FatalBoxes>());
    program.form<FormSetup>().UserName->setText(QStringLiteral("Ann"));
    FormChat &chat = program.form<FormChat>();
    chat.Winsock->setRemoteHost(QStringLiteral("127.0.0.1"));
    chat.Winsock->setRemotePort(port);
    chat.Winsock->Connect();
    chat.Show();
    runFor(10000, [&] { return chat.Command1->isEnabled(); });

    QString text;
    text.reserve(chars);
    for (qsizetype i = 0; text.size() < chars; ++i)
        text += i % 7 == 6 ? QChar(u' ') : QChar(char16_t(u'a' + i % 26));
    QApplication::clipboard()->setText(text);
    const qint64 wire = 2 + 5 + text.toUtf8().size();
    text.clear();
    text.squeeze();
    runFor(200);

    Row row;
    resetPeak();
    {
        StallMeter meter;
        chat.MyMsg->setFocus();
        // Ctrl+V, as the user pastes.
        QTimer::singleShot(0, chat.MyMsg, [&] {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
            QApplication::sendEvent(chat.MyMsg, &press);
        });
        runFor(1500);
        row.pasteStallMs = meter.longestMs();
    }
    if (chat.MyMsg->text().size() != chars)
        qFatal("the paste was cut: %lld of %lld characters", qint64(chat.MyMsg->text().size()), qint64(chars));
    row.cutStallMs = keysStall(chat.MyMsg, {QKeySequence::SelectAll, QKeySequence::Cut});
    if (!chat.MyMsg->text().isEmpty() || QApplication::clipboard()->text().size() != chars)
        qFatal("the cut left %lld characters and took %lld", qint64(chat.MyMsg->text().size()),
               qint64(QApplication::clipboard()->text().size()));
    row.undoStallMs = keysStall(chat.MyMsg, {QKeySequence::Undo});
    if (chat.MyMsg->text().size() != chars)
        qFatal("the undo brought back %lld of %lld characters", qint64(chat.MyMsg->text().size()), qint64(chars));
    {
        StallMeter meter;
        QElapsedTimer clock;
        clock.start();
        QTimer::singleShot(0, chat.Command1, &QPushButton::click);
        runFor(60000, [&] { return received == wire; });
        row.sendSeconds = clock.nsecsElapsed() / 1e9;
        runFor(1000);
        row.sendStallMs = meter.longestMs();
    }
    if (received != wire)
        qFatal("the peer got %lld of %lld bytes", qint64(received), wire);
    row.peak = statusField("VmHWM:");
    QApplication::clipboard()->clear();
    runFor(500);
    row.after = residentBytes();
    chat.Winsock->Close();
    stop = true;
    peer->wait();
    delete peer;
    return row;
}

double idleStallMs()
{
    platform::Program program;
    app::prepareProgram(program);
    program.form<FormChat>().Show();
    runFor(200);
    StallMeter meter;
    runFor(2000);
    return meter.longestMs();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The program's own fonts and accessibility, as users get them.
    app::prepareApplication();
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    qint64 megabytes = 10;
    if (const qsizetype i = args.indexOf(QStringLiteral("--mb")); i >= 0 && i + 1 < args.size())
        megabytes = args.at(i + 1).toLongLong();

    const qint64 start = residentBytes();
    const double idle = idleStallMs();
    const Row small = pasteAndSend(1 << 20);
    const Row big = pasteAndSend(megabytes << 20);

    out << QStringLiteral("Paste and Send: VmRSS at start %1 MB\n").arg(start / 1e6, 0, 'f', 1);
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8\n")
               .arg(QStringLiteral("row"), -24)
               .arg(QStringLiteral("paste stall ms"), 15)
               .arg(QStringLiteral("cut ms"), 7)
               .arg(QStringLiteral("undo ms"), 8)
               .arg(QStringLiteral("Send stall ms"), 14)
               .arg(QStringLiteral("sent s"), 8)
               .arg(QStringLiteral("peak MB"), 9)
               .arg(QStringLiteral("after MB"), 9);
    out << QStringLiteral("%1 %2\n").arg(QStringLiteral("idle window (baseline)"), -24).arg(idle, 15, 'f', 1);
    auto row = [&](const QString &name, const Row &r) {
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8\n")
                   .arg(name, -24)
                   .arg(r.pasteStallMs, 15, 'f', 1)
                   .arg(r.cutStallMs, 7, 'f', 1)
                   .arg(r.undoStallMs, 8, 'f', 1)
                   .arg(r.sendStallMs, 14, 'f', 1)
                   .arg(r.sendSeconds, 8, 'f', 2)
                   .arg(r.peak / 1e6, 9, 'f', 1)
                   .arg(r.after / 1e6, 9, 'f', 1);
    };
    row(QStringLiteral("1 MB paste"), small);
    row(QStringLiteral("%1 MB paste").arg(megabytes), big);
    out << QStringLiteral("%1 MB: stalls %2 / %3 x the idle window's\n")
               .arg(megabytes)
               .arg(big.pasteStallMs / std::max(idle, 0.001), 0, 'f', 0)
               .arg(big.sendStallMs / std::max(idle, 0.001), 0, 'f', 0);
    Goals goals(out);
    goals.atMost(QStringLiteral("longest stall, %1 MB paste").arg(megabytes), big.pasteStallMs, 500, QStringLiteral("ms"));
    goals.atMost(QStringLiteral("longest stall, %1 MB cut").arg(megabytes), big.cutStallMs, 500, QStringLiteral("ms"));
    goals.atMost(QStringLiteral("longest stall, undoing the %1 MB cut").arg(megabytes), big.undoStallMs, 500, QStringLiteral("ms"));
    goals.atMost(QStringLiteral("longest stall, %1 MB Send").arg(megabytes), big.sendStallMs, 500, QStringLiteral("ms"));
    goals.atMost(QStringLiteral("peak VmHWM, %1 MB paste and Send").arg(megabytes), big.peak / 1e6, 300, QStringLiteral("MB"));
    goals.atMost(QStringLiteral("VmRSS after the %1 MB line has gone").arg(megabytes), big.after / 1e6, 150, QStringLiteral("MB"));
    return goals.exitCode();
}
