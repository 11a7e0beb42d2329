#pragma once

// Raw peers for the hardening tests: a chat window listening or connecting on
// a port of its own, what each arrival brought, and the socket
// details a hostile or lost peer is made of.

#include "chat/formchat.h"
#include "connection/winsock.h"
#include "setup/formsetup.h"
#include "support/testing.h"

#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTcpSocket>

#ifdef Q_OS_LINUX
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#endif

namespace peers {

// Every arrival's text, in order, read right after the window took it.
struct Arrivals
{
    explicit Arrivals(FormChat &chat)
    {
        QObject::connect(chat.Winsock, &platform::Winsock::dataArrival, chat.Winsock, [this, &chat] {
            texts.append(chat.InData);
            joined += chat.InData;
        });
    }
    // The transcript the receiver must show: greeting, then CR LF before each arrival.
    QString transcript() const
    {
        QString expected = Greeting;
        for (const QString &text : texts)
            expected += QStringLiteral("\r\n") + text;
        return expected;
    }
    QStringList texts;
    QString joined;
};

inline quint16 listenOnAnyPort(TestProgram &program)
{
    program->form<FormSetup>().UserName->setText(QStringLiteral("Srv"));
    FormChat &chat = program->form<FormChat>();
    // A locked port, so a check that nobody listens there any more cannot
    // meet another test's listener.
    chat.Winsock->setLocalPort(freeLowPort());
    chat.Winsock->Listen();
    chat.Status->setText(QStringLiteral("Listening..."));
    return static_cast<quint16>(chat.Winsock->LocalPort());
}

inline void connectTo(TestProgram &program, quint16 port, const QString &host = QStringLiteral("127.0.0.1"))
{
    program->form<FormSetup>().UserName->setText(QStringLiteral("Cli"));
    FormChat &chat = program->form<FormChat>();
    chat.Winsock->setRemoteHost(host);
    chat.Winsock->setRemotePort(port);
    chat.Winsock->Connect();
    chat.Status->setText(QStringLiteral("Connecting..."));
}

// The endpoint's connected socket, for looking at its options.
inline QTcpSocket *liveSocket(FormChat &chat)
{
    for (QTcpSocket *socket : chat.Winsock->findChildren<QTcpSocket *>()) {
        if (socket->state() == QAbstractSocket::ConnectedState)
            return socket;
    }
    return nullptr;
}

inline QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator rng(7);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(rng.bounded(256));
    return bytes;
}

inline QByteArray chatLines(qsizetype size)
{
    QByteArray bytes;
    bytes.reserve(size + 64);
    for (int n = 0; bytes.size() < size; ++n)
        bytes += "\r\nEve: flood line " + QByteArray::number(n) + " \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    return bytes;
}

#ifdef Q_OS_LINUX
inline int intOption(QTcpSocket *socket, int level, int name)
{
    int value = -1;
    socklen_t size = sizeof value;
    if (getsockopt(static_cast<int>(socket->socketDescriptor()), level, name, &value, &size) != 0)
        return -1;
    return value;
}

// Bytes the kernel still holds for the peer.
inline int unsentBytes(QTcpSocket *socket)
{
    int queued = -1;
    ioctl(static_cast<int>(socket->socketDescriptor()), SIOCOUTQ, &queued);
    return queued;
}
#endif

} // namespace peers
