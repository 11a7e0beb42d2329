#pragma once

#include <QString>
#include <exception>

namespace platform {

// A failed control, window or socket operation. It ends the handler where it
// happened; the program's error boundary shows it to the user.
class Error : public std::exception
{
public:
    Error(int number, QString description, QString advice = {})
        : number_(number),
          description_(std::move(description)),
          advice_(std::move(advice)),
          utf8_(description_.toUtf8())
    {
    }

    int number() const noexcept { return number_; }
    // What failed, in plain words.
    const QString &description() const noexcept { return description_; }
    // What the user can do about it; may be empty.
    const QString &advice() const noexcept { return advice_; }
    const char *what() const noexcept override { return utf8_.constData(); }

private:
    int number_;
    QString description_;
    QString advice_;
    QByteArray utf8_;
};

// Error numbers, in the usual numbering of such components where one exists.
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

} // namespace platform
