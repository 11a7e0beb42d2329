#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace platform {

// Error numbers. The user sees the number in the box that reports an error,
// so each kind keeps its number for good: it is what a user quotes when
// asking for help.
namespace err {
constexpr int InvalidPropertyValue = 380;
constexpr int WrongProtocolOrState = 40006;
constexpr int AddressInUse = 10048;
constexpr int AccessDenied = 10013;
constexpr int ConnectionRefused = 10061;
constexpr int HostNotFound = 11001;
constexpr int TimedOut = 10060;
constexpr int NetworkUnreachable = 10051;
constexpr int ConnectionReset = 10054;
constexpr int Unexpected = 51;
} // namespace err

// What the program was doing when an error happened.
enum class Operation {
    SetPort,  // a port given to the endpoint
    ReadPort, // the port a window read from its field
    Listen,
    Connect,
    Accept,
    Send,
    Other,    // anything else that failed inside a handler
};

// A failed control, window or socket operation. It ends the handler where it
// happened; the program's error boundary has the windows word it for the
// user. It carries facts only: what failed, on which port, host or request,
// the text that was refused, and the system's own reason.
class Error : public std::exception
{
public:
    Error(int number, Operation operation, QString reason = {})
        : number_(number), operation_(operation), reason_(std::move(reason)), utf8_(reason_.toUtf8())
    {
    }

    Error &onPort(qint64 port) { port_ = port; return *this; }
    Error &onHost(QString host) { host_ = std::move(host); return *this; }
    Error &forRequest(qint32 request) { request_ = request; return *this; }
    Error &refusing(QString input) { input_ = std::move(input); return *this; }

    int number() const noexcept { return number_; }
    Operation operation() const noexcept { return operation_; }
    // The port involved, or -1.
    qint64 port() const noexcept { return port_; }
    const QString &host() const noexcept { return host_; }
    // The connection request involved, or 0.
    qint32 request() const noexcept { return request_; }
    // The text that was refused, as it was given.
    const QString &input() const noexcept { return input_; }
    // The system's own words for the cause; may be empty.
    const QString &reason() const noexcept { return reason_; }
    const char *what() const noexcept override { return utf8_.constData(); }

private:
    int number_;
    Operation operation_;
    QString reason_;
    QByteArray utf8_;
    qint64 port_ = -1;
    QString host_;
    qint32 request_ = 0;
    QString input_;
};

} // namespace platform
