#include "chat/errortext.h"

#include "setup/portfield.h"

using platform::Error;
using platform::Operation;
namespace err = platform::err;

namespace {

struct Sentences
{
    QString prompt;
    QString advice;
};

Sentences explain(const Error &error)
{
    const QString portField = ErrorText::tr("Port Number");
    const QString reconnect = ErrorText::tr("Use Chat, Reconnect to start a new conversation.");
    switch (error.operation()) {
    case Operation::SetPort:
        return {ErrorText::tr("%1 is not a port number.").arg(error.port()),
                ErrorText::tr("Use a port from %1 to %2.").arg(MinPort).arg(MaxPort)};
    case Operation::ReadPort:
        return {ErrorText::tr("The %1 \"%2\" is not a whole number from %3 to %4.")
                    .arg(portField, error.input())
                    .arg(MinPort)
                    .arg(MaxPort),
                ErrorText::tr("Correct the %1 field and press Connect again.").arg(portField)};
    case Operation::Listen:
    case Operation::Connect:
        if (error.number() == err::WrongProtocolOrState)
            return {ErrorText::tr("The connection is already in use."),
                    ErrorText::tr("Close the conversation first (Disconnect), then try again.")};
        if (error.number() == err::AccessDenied)
            return {ErrorText::tr("Listening on port %1 was refused: on this computer that port "
                                  "needs administrator rights.")
                        .arg(error.port()),
                    ErrorText::tr("Choose a port from 1024 to %1 in the Port Number field "
                                  "and press Connect again.")
                        .arg(MaxPort)};
        if (error.number() == err::AddressInUse)
            return {ErrorText::tr("Port %1 is already in use by another program.").arg(error.port()),
                    ErrorText::tr("Close that program, or choose another port in the Port Number "
                                  "field and press Connect again.")};
        return {ErrorText::tr("Listening on port %1 failed: %2.").arg(error.port()).arg(error.reason()),
                ErrorText::tr("Choose another port in the Port Number field and press Connect again.")};
    case Operation::Accept:
        return {ErrorText::tr("The connection request %1 is no longer waiting.").arg(error.request()),
                ErrorText::tr("Ask the other person to connect again.")};
    case Operation::Send:
        if (error.reason().isEmpty())
            return {ErrorText::tr("The message could not be sent: there is no connection."), reconnect};
        return {ErrorText::tr("The message could not be sent: %1.").arg(error.reason()), reconnect};
    case Operation::Other:
        break;
    }
    return {error.reason(), ErrorText::tr("The program goes on; if this keeps happening, restart it.")};
}

} // namespace

platform::Program::ErrorWords ErrorText::words(const Error &error)
{
    const Sentences sentences = explain(error);
    QString detail = sentences.advice;
    if (!detail.isEmpty())
        detail += QLatin1Char('\n');
    detail += tr("(Error %1)").arg(error.number());
    return {tr("ZAQ CHAT"), sentences.prompt, detail};
}

QString ErrorText::connectFailure(int number, const QString &host, int port)
{
    switch (number) {
    case err::ConnectionRefused:
        return tr("%1 refused the connection on port %2: nobody is listening there. "
                  "Ask the other person to connect as server first, check the port, then try again.")
            .arg(host)
            .arg(port);
    case err::HostNotFound:
        if (host.isEmpty())
            return tr("No computer address was given. "
                      "Fill in the Remote Computer IP field and try again.");
        return tr("The computer \"%1\" could not be found. "
                  "Check the Remote Computer IP field and try again.")
            .arg(host);
    case err::TimedOut:
        return tr("%1 did not answer on port %2. "
                  "Check the address, the port and the network, then try again.")
            .arg(host)
            .arg(port);
    case err::NetworkUnreachable:
        return tr("%1 cannot be reached from this computer's network. "
                  "Check the address and the network connection, then try again.")
            .arg(host);
    default:
        return tr("The connection to %1 on port %2 could not be made. "
                  "Check the address and port, then try again.")
            .arg(host)
            .arg(port);
    }
}
