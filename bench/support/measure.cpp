#include "support/measure.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>

StallMeter::StallMeter()
{
    timer_.setInterval(1);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    clock_.start();
    started_.start();
    timer_.start();
}

void StallMeter::tick()
{
    const qint64 gap = clock_.nsecsElapsed();
    longest_ = std::max(longest_, gap);
    // A gap that began after the first second.
    if (started_.nsecsElapsed() - gap >= 1000 * 1000 * 1000)
        longestLater_ = std::max(longestLater_, gap);
    if (gap > 10 * 1000 * 1000)
        gaps_.append(gap);
    clock_.restart();
}

double StallMeter::longestMs() const
{
    return std::max(longest_, clock_.nsecsElapsed()) / 1e6;
}

double StallMeter::longestAfterFirstSecondMs() const
{
    return longestLater_ / 1e6;
}

int StallMeter::countOverMs(double limitMs) const
{
    return int(std::count_if(gaps_.cbegin(), gaps_.cend(), [limitMs](qint64 gap) { return gap > limitMs * 1e6; }));
}

qint64 residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return 0;
}

QThread *startSender(quint16 port, QByteArray block, qint64 total)
{
    QThread *thread = QThread::create([port, block, total] {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(10000))
            qFatal("sender: no connection");
        for (qint64 sent = 0; sent < total;) {
            const qint64 n = std::min<qint64>(block.size(), total - sent);
            socket.write(block.constData(), n);
            sent += n;
            while (socket.bytesToWrite() > 2 * block.size())
                socket.waitForBytesWritten(10000);
        }
        while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(10000)) {
        }
        socket.disconnectFromHost();
        if (socket.state() != QAbstractSocket::UnconnectedState)
            socket.waitForDisconnected(30000);
    });
    thread->start();
    return thread;
}

void FatalBoxes::show(const QString &prompt, int, const QString &, const QString &detail)
{
    qFatal("unexpected box: %s %s", qPrintable(prompt), qPrintable(detail));
}
