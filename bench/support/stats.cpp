#include "support/stats.h"

#include <algorithm>
#include <cmath>

Spread spreadOf(QList<double> values)
{
    Spread spread;
    spread.count = values.size();
    if (values.isEmpty())
        return spread;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    spread.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    spread.low = values.front();
    spread.high = values.back();
    return spread;
}

QString showSpread(const Spread &spread, int decimals)
{
    return QStringLiteral("%1 (%2-%3)")
        .arg(spread.median, 0, 'f', decimals)
        .arg(spread.low, 0, 'f', decimals)
        .arg(spread.high, 0, 'f', decimals);
}

double percentile(std::vector<double> samples, double q)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const auto rank = static_cast<size_t>(std::ceil(q * double(samples.size())));
    return samples[std::clamp<size_t>(rank, 1, samples.size()) - 1];
}
