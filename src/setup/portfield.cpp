#include "setup/portfield.h"

std::optional<int> portFromText(const QString &text)
{
    const QString digits = text.trimmed();
    // toInt alone would also take a sign; only digits may start the number.
    if (digits.isEmpty() || digits.front() < u'0' || digits.front() > u'9')
        return std::nullopt;
    bool ok = false;
    const int port = digits.toInt(&ok, 10);
    if (!ok || port < MinPort || port > MaxPort)
        return std::nullopt;
    return port;
}
