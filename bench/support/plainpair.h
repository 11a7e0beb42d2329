#pragma once

// The floor for any Qt chat window: two plain windows, each a QPlainTextEdit
// transcript and a QLineEdit, joined by raw sockets over loopback. Send
// appends CR LF, the name, ": " and the input's text to the sender's own
// transcript, writes it as UTF-8 and empties the input; what arrives is
// appended at the end of the other transcript and scrolled to. No bound, no
// checks, no status: what is left is Qt's own cost of showing a line.

#include <QObject>
#include <QStringDecoder>

#include <memory>

class QLineEdit;
class QPlainTextEdit;
class QTcpServer;
class QTcpSocket;
class QWidget;

class PlainWindow : public QObject
{
    Q_OBJECT

public:
    explicit PlainWindow(const QString &name);
    ~PlainWindow() override;

    QWidget *window() const { return window_.get(); }
    QPlainTextEdit *transcript() const { return transcript_; }
    QLineEdit *input() const { return input_; }

    void attach(QTcpSocket *socket);
    // What the Send button does.
    void send();
    // Appends text (CR LF line breaks) at the end and scrolls to it.
    void append(const QString &text);

signals:
    // Emitted after an arrival is shown, with the characters that came.
    void arrived(qsizetype chars);

private:
    QString name_;
    std::unique_ptr<QWidget> window_;
    QPlainTextEdit *transcript_ = nullptr;
    QLineEdit *input_ = nullptr;
    QTcpSocket *socket_ = nullptr;
    QStringDecoder decoder_{QStringDecoder::Utf8};
};

// Ann and Bob, connected and shown.
class PlainPair
{
public:
    PlainPair();
    ~PlainPair();

    PlainWindow ann{QStringLiteral("Ann")};
    PlainWindow bob{QStringLiteral("Bob")};

private:
    std::unique_ptr<QTcpServer> server_;
};
