#include "connection/typedhost.h"

#include <QList>

namespace platform {

namespace {

bool allDecimal(QStringView label)
{
    for (QChar c : label) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return !label.isEmpty();
}

// What the resolver would take for a number: decimal, octal or hexadecimal.
bool looksNumeric(QStringView label)
{
    if (label.size() >= 2 && label[0] == u'0' && (label[1] == u'x' || label[1] == u'X')) {
        for (QChar c : label.sliced(2)) {
            if (!c.isDigit() && !(c.toLower() >= u'a' && c.toLower() <= u'f'))
                return false;
        }
        return true;
    }
    return allDecimal(label);
}

TypedHost unusable()
{
    TypedHost host;
    host.kind = TypedHost::Unusable;
    return host;
}

TypedHost address(const QHostAddress &address)
{
    TypedHost host;
    host.kind = TypedHost::Address;
    host.address = address;
    return host;
}

} // namespace

TypedHost readTypedHost(const QString &typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return {};
    if (text.startsWith(u'[') || text.endsWith(u']') || text.contains(u':')) {
        const QString inner = text.startsWith(u'[') && text.endsWith(u']') ? text.sliced(1, text.size() - 2) : text;
        const QHostAddress v6(inner);
        if (inner.contains(u':') && v6.protocol() == QAbstractSocket::IPv6Protocol)
            return address(v6);
        return unusable();
    }
    const QList<QStringView> labels = QStringView(text).split(u'.');
    bool numeric = true;
    bool anyNumber = false;
    for (QStringView label : labels) {
        if (!label.isEmpty()) {
            numeric = numeric && looksNumeric(label);
            anyNumber = true;
        }
    }
    if (!numeric || !anyNumber) {
        TypedHost host;
        host.name = text;
        return host;
    }
    // Only four decimal numbers from 0 to 255 are an address.
    if (labels.size() != 4)
        return unusable();
    quint32 value = 0;
    for (QStringView label : labels) {
        if (!allDecimal(label))
            return unusable();
        bool ok = false;
        const uint part = label.size() <= 9 ? label.toUInt(&ok) : 256;
        if (!ok || part > 255)
            return unusable();
        value = value << 8 | part;
    }
    return address(QHostAddress(value));
}

} // namespace platform
