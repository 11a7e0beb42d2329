#pragma once

#include "platform/core/program.h"
#include "support/recordingboxes.h"

#include <QList>

#include <memory>

class FormSetup;
class QTcpSocket;
class QWidget;

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

// A TCP port from 1024 to 9999 that nothing listens on right now.
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

// Makes the socket's next close a reset (RST) instead of an orderly goodbye.
void resetOnClose(QTcpSocket *socket);
