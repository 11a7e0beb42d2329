#include "support/measure.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>

StallMeter::StallMeter()
{
    timer_.setInterval(1);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        longest_ = std::max(longest_, clock_.nsecsElapsed());
        clock_.restart();
    });
    clock_.start();
    timer_.start();
}

double StallMeter::longestMs() const
{
    return std::max(longest_, clock_.nsecsElapsed()) / 1e6;
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
