#include "support/plainpair.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextCursor>
#include <QVBoxLayout>
#include <QWidget>

PlainWindow::PlainWindow(const QString &name) : name_(name), window_(std::make_unique<QWidget>())
{
    // The chat window's size, so both paint as much.
    window_->resize(357, 342);
    auto *layout = new QVBoxLayout(window_.get());
    transcript_ = new QPlainTextEdit(window_.get());
    transcript_->setReadOnly(true);
    transcript_->setUndoRedoEnabled(false);
    input_ = new QLineEdit(window_.get());
    input_->setMaxLength(std::numeric_limits<int>::max());
    layout->addWidget(transcript_);
    layout->addWidget(input_);
    window_->setWindowTitle(name);
    window_->show();
}

PlainWindow::~PlainWindow() = default;

void PlainWindow::attach(QTcpSocket *socket)
{
    socket_ = socket;
    socket_->setParent(this);
    connect(socket_, &QIODevice::readyRead, this, [this] {
        const QString text = decoder_.decode(socket_->readAll());
        append(QStringLiteral("\r\n") + text);
        emit arrived(text.size());
    });
}

void PlainWindow::send()
{
    const QString line = QStringLiteral("\r\n") + name_ + QStringLiteral(": ") + input_->text();
    append(line);
    socket_->write(line.toUtf8());
    input_->clear();
}

void PlainWindow::append(const QString &text)
{
    QString view = text;
    view.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor end(transcript_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(view);
    transcript_->setTextCursor(end);
    transcript_->ensureCursorVisible();
}

PlainPair::PlainPair() : server_(std::make_unique<QTcpServer>())
{
    if (!server_->listen(QHostAddress::LocalHost, 0))
        qFatal("plain pair: cannot listen");
    auto *client = new QTcpSocket;
    client->connectToHost(QHostAddress::LocalHost, server_->serverPort());
    if (!client->waitForConnected(10000) || !server_->waitForNewConnection(10000))
        qFatal("plain pair: no connection");
    QTcpSocket *accepted = server_->nextPendingConnection();
    for (QTcpSocket *socket : {client, accepted})
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    ann.attach(accepted);
    bob.attach(client);
    QApplication::processEvents();
}

PlainPair::~PlainPair() = default;
