#pragma once

// The goals a benchmark holds its figures to. Each check prints one line,
// "goal met: ..." or "GOAL MISSED: ...", and a benchmark that missed one
// exits with status 1, so scripts/bench.sh can name it and fail.

#include <QString>
#include <QStringList>

class QTextStream;

class Goals
{
public:
    explicit Goals(QTextStream &out) : out_(out) {}

    // `what` names the figure, `unit` follows the numbers ("ms", "x").
    void atMost(const QString &what, double measured, double limit, const QString &unit = {});
    void atLeast(const QString &what, double measured, double limit, const QString &unit = {});

    // Prints how many goals were missed; 0 when none was, else 1.
    int exitCode() const;

private:
    void report(bool met, const QString &what, double measured, const QString &comparison, double limit,
                const QString &unit);

    QTextStream &out_;
    int checked_ = 0;
    QStringList missed_;
};
