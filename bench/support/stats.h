#pragma once

// Summaries of repeated measurements: the median with its spread, and the
// percentiles of a run of latencies.

#include <QList>
#include <QString>

#include <vector>

// The median of several repetitions and the lowest and highest of them.
struct Spread
{
    double median = 0;
    double low = 0;
    double high = 0;
    qsizetype count = 0;
};

Spread spreadOf(QList<double> values);

// "median (low-high)" with the given number of decimals.
QString showSpread(const Spread &spread, int decimals);

// The value below which a fraction q of the samples lie (nearest rank).
double percentile(std::vector<double> samples, double q);
