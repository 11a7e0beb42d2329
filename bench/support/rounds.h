#pragma once

// Repetitions whose figures do not depend on run order: one warm-up round
// that is thrown away, then rounds in which every case runs once, the order
// reversed every other round, so subject and baseline take turns going first
// and drift of the machine falls on both. A case can run in a fresh process
// of its own (runChild), so it inherits no heap, cache or font of another.

#include "support/stats.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

// The named figures of one run of one case.
using Figures = QMap<QString, double>;

struct Case
{
    QString name;
    std::function<Figures()> run;
};

class Rounds
{
public:
    // Reads "--rounds N" (default 5) and "--quick" from the arguments.
    explicit Rounds(const QStringList &arguments);

    int count() const { return count_; }
    bool quick() const { return quick_; }

    // The warm-up round, then the measured ones; progress goes to stderr.
    void run(const QList<Case> &cases);

    // One figure of one case over the measured rounds.
    QList<double> values(const QString &name, const QString &figure) const;
    Spread spread(const QString &name, const QString &figure) const { return spreadOf(values(name, figure)); }
    // figure a of case a divided by figure b of case b, round by round.
    Spread ratio(const QString &a, const QString &figureA, const QString &b, const QString &figureB) const;

private:
    int count_ = 5;
    bool quick_ = false;
    QMap<QString, QList<Figures>> results_;
};

// The case a child process was started for ("--child NAME"), or empty.
QString childCase(const QStringList &arguments);

// Runs this executable again with "--child NAME" and the given arguments,
// and returns the figures it printed. Any failure of the child ends this
// process too.
Figures runChild(const QString &name, const QStringList &arguments = {});

// In a child: prints the figures for runChild to read, returns 0.
int printFigures(const Figures &figures);

// The arguments a child gets from its parent: all but the program name,
// "--child NAME" and "--rounds N".
QStringList passedOn(const QStringList &arguments);
