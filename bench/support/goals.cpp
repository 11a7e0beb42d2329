#include "support/goals.h"

#include <QTextStream>

namespace {

QString number(double value)
{
    // Enough digits for both microseconds and millions of lines.
    return std::abs(value) >= 1000 ? QString::number(value, 'f', 0) : QString::number(value, 'g', 3);
}

} // namespace

void Goals::atMost(const QString &what, double measured, double limit, const QString &unit)
{
    report(measured <= limit, what, measured, QStringLiteral("<="), limit, unit);
}

void Goals::atLeast(const QString &what, double measured, double limit, const QString &unit)
{
    report(measured >= limit, what, measured, QStringLiteral(">="), limit, unit);
}

void Goals::report(bool met, const QString &what, double measured, const QString &comparison, double limit,
                   const QString &unit)
{
    ++checked_;
    const QString space = unit.isEmpty() || unit == QLatin1String("x") ? QString() : QStringLiteral(" ");
    const QString line = QStringLiteral("%1: %2%3%4 (goal %5 %6%3%4)")
                             .arg(what, number(measured), space, unit, comparison, number(limit));
    out_ << (met ? QStringLiteral("goal met: ") : QStringLiteral("GOAL MISSED: ")) << line << '\n';
    if (!met)
        missed_.append(line);
    out_.flush();
}

int Goals::exitCode() const
{
    out_ << QStringLiteral("%1 of %2 goals met\n").arg(checked_ - missed_.size()).arg(checked_);
    out_.flush();
    return missed_.isEmpty() ? 0 : 1;
}
