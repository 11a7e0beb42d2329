#pragma once

#include "program/program.h"
#include "support/recordingboxes.h"

#include <QList>
#include <QString>

#include <memory>

class FormChat;
class FormSetup;
class QTcpSocket;
class QWidget;

// What the chat window's transcript starts with.
inline const QString Greeting = QStringLiteral("Welcome To Chat!\r\n");

// A Program whose message boxes are recorded and whose End is only noted, so
// a test can run several of them and look at what they showed.
class TestProgram
{
public:
    TestProgram();
    ~TestProgram();

    platform::Program &operator*() { return *program_; }
    platform::Program *operator->() { return program_.get(); }

    QList<RecordingBoxes::Box> boxes;
    int endCount = 0;

private:
    std::unique_ptr<platform::Program> program_;
};

// A TCP port from 2000 to 9999 that nothing listens on, for the setup
// window's Port Number field. It stays this process's own until it exits:
// every test process takes a port only under a lock file in the temporary
// folder, so tests running side by side never pick the same one.
quint16 freeLowPort();

// Types text into a control key by key; unlike QTest::keyClicks it also
// takes characters beyond ASCII.
void typeText(QWidget *control, const QString &text);

// Types the three setup fields afresh and picks Server or Client, as a user would.
void fillSetup(FormSetup &setup, const QString &ip, const QString &port, const QString &name,
               bool client);

// Shows the setup window of `program`, fills it and presses Connect.
void connectFromSetup(platform::Program &program, const QString &ip, quint16 port, const QString &name,
                      bool client);

// Makes the window the active one; fails the test if it does not become so.
void activate(QWidget &window);

// Puts a message in the input box and presses Send, as the user does: typed
// key by key, or pasted when it is too long to type.
void say(FormChat &chat, const QString &message);

// Makes the socket's next close a reset (RST) instead of an orderly goodbye.
void resetOnClose(QTcpSocket *socket);
