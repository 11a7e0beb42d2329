#include "support/rounds.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

Rounds::Rounds(const QStringList &arguments)
{
    quick_ = arguments.contains(QStringLiteral("--quick"));
    if (const qsizetype i = arguments.indexOf(QStringLiteral("--rounds")); i >= 0 && i + 1 < arguments.size())
        count_ = std::max(1, arguments.at(i + 1).toInt());
}

void Rounds::run(const QList<Case> &cases)
{
    results_.clear();
    for (int round = 0; round <= count_; ++round) {
        // Round 0 warms up; odd rounds run the cases in reverse order.
        QList<Case> order = cases;
        if (round % 2)
            std::reverse(order.begin(), order.end());
        for (const Case &c : order) {
            fprintf(stderr, "  %s %d/%d: %s\n", round == 0 ? "warm-up" : "round", round, count_, qPrintable(c.name));
            const Figures figures = c.run();
            if (round > 0)
                results_[c.name].append(figures);
        }
    }
}

QList<double> Rounds::values(const QString &name, const QString &figure) const
{
    QList<double> values;
    for (const Figures &figures : results_.value(name)) {
        if (!figures.contains(figure))
            qFatal("case %s gave no figure %s", qPrintable(name), qPrintable(figure));
        values.append(figures.value(figure));
    }
    return values;
}

Spread Rounds::ratio(const QString &a, const QString &figureA, const QString &b, const QString &figureB) const
{
    const QList<double> top = values(a, figureA);
    const QList<double> bottom = values(b, figureB);
    QList<double> ratios;
    for (qsizetype i = 0; i < std::min(top.size(), bottom.size()); ++i)
        ratios.append(bottom[i] != 0 ? top[i] / bottom[i] : 0);
    return spreadOf(ratios);
}

QString childCase(const QStringList &arguments)
{
    const qsizetype i = arguments.indexOf(QStringLiteral("--child"));
    return i >= 0 && i + 1 < arguments.size() ? arguments.at(i + 1) : QString();
}

QStringList passedOn(const QStringList &arguments)
{
    QStringList kept;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--child") || arguments[i] == QLatin1String("--rounds")) {
            ++i;
            continue;
        }
        kept.append(arguments[i]);
    }
    return kept;
}

Figures runChild(const QString &name, const QStringList &arguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--child"), name} + arguments);
    // Generous: a flood into a slow window on a busy machine takes minutes.
    if (!child.waitForFinished(30 * 60 * 1000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        qFatal("the child for %s failed (exit code %d)", qPrintable(name), child.exitCode());
    Figures figures;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        if (parts.size() == 2 && parts[0].startsWith('='))
            figures.insert(QString::fromLatin1(parts[0].mid(1)), parts[1].toDouble());
    }
    if (figures.isEmpty())
        qFatal("the child for %s printed no figures", qPrintable(name));
    return figures;
}

int printFigures(const Figures &figures)
{
    QTextStream out(stdout);
    for (auto it = figures.cbegin(); it != figures.cend(); ++it)
        out << '=' << it.key() << ' ' << QString::number(it.value(), 'g', 12) << '\n';
    out.flush();
    return 0;
}
