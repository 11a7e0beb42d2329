#pragma once

#include "program/program.h"

#include <QCoreApplication>

// The windows' words for what went wrong: the platform layer reports facts
// (what failed, the port, the host, the system's reason), and this turns them
// into what the user reads and what they can do about it.
class ErrorText
{
    Q_DECLARE_TR_FUNCTIONS(ErrorText)

public:
    // The box for an error that ended a handler.
    static platform::Program::ErrorWords words(const platform::Error &error);

    // Why a connection attempt to host:port failed, from the endpoint's
    // error number; an empty host is one the user did not give.
    static QString connectFailure(int number, const QString &host, int port);
};
