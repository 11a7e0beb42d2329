#include "support/testing.h"

#include "platform/controls.h"

#include <QRandomGenerator>
#include <QTcpServer>

TestProgram::TestProgram() : program_(std::make_unique<platform::Program>())
{
    platform::installFontSubstitutes();
    program_->setMessageBoxService(std::make_unique<RecordingBoxes>(&boxes));
    program_->setEndAction([this] { ++endCount; });
}

TestProgram::~TestProgram() = default;

quint16 freeLowPort()
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port = static_cast<quint16>(QRandomGenerator::global()->bounded(2000, 9999));
        QTcpServer probe;
        if (probe.listen(QHostAddress::Any, port))
            return port;
    }
    qFatal("no free port from 2000 to 9999");
}
