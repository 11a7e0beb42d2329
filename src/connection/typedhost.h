#pragma once

#include <QHostAddress>
#include <QString>

namespace platform {

// A remote computer as the user typed it. Dotted IPv4 addresses are read as
// four decimal numbers, leading zeros meaning nothing ("192.168.001.010" is
// 192.168.1.10); the system resolver would read "010" as octal and take
// "127.1", "0x7f.1" or "2130706433" for 127.0.0.1, so numeric text in any
// other form is not used at all. IPv6 may be written with or without
// brackets. Anything else is a computer name for the resolver.
struct TypedHost
{
    enum Kind { Name, Address, Unusable };

    Kind kind = Name;
    QHostAddress address; // the address, for Address
    QString name;         // the name without surrounding blanks, for Name
};

TypedHost readTypedHost(const QString &typed);

} // namespace platform
