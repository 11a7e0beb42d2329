#pragma once

// What the benchmarks share: a stall meter, the resident memory, a flooding
// peer, and a message box service that treats any box as a failure.

#include "program/messagebox.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QTimer>

class QThread;

// The gaps between the ticks of a 1 ms timer while it lives: the longest,
// the longest once the first second is over (what is left when one-time
// costs such as loading fonts are done), and how many passed a limit.
class StallMeter
{
public:
    StallMeter();
    double longestMs() const;
    double longestAfterFirstSecondMs() const;
    int countOverMs(double limitMs) const;

private:
    void tick();

    QTimer timer_;
    QElapsedTimer clock_;   // since the last tick
    QElapsedTimer started_; // since the meter was made
    qint64 longest_ = 0;
    qint64 longestLater_ = 0;
    QList<qint64> gaps_;    // those over 10 ms
};

// VmRSS of this process, in bytes (0 where /proc is not there).
qint64 residentBytes();

// Sends `total` bytes made of `block`, over and over, to a port on this
// computer from a thread of its own, as fast as TCP takes them, then closes.
QThread *startSender(quint16 port, QByteArray block, qint64 total);

// A box would stop a benchmark: here it is a failure.
class FatalBoxes : public platform::MessageBoxService
{
public:
    void show(const QString &prompt, int style, const QString &title, const QString &detail) override;
};
