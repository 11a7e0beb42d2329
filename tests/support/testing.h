#pragma once

#include "platform/program.h"
#include "support/recordingboxes.h"

#include <QList>

#include <memory>

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
