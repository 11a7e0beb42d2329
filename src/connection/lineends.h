#pragma once

#include <QString>

namespace platform {

// A terminal's line end read as the chat's own: telnet sends a bare Enter as
// CR NUL, which reads as CR LF, even when the NUL comes in the arrival after
// the CR's. Every other NUL stays as it came.
class LineEnds
{
public:
    // The text that follows what came before, with its line ends read.
    QString read(QString text);
    void reset() { afterCr_ = false; }

private:
    bool afterCr_ = false; // the text so far ends with CR
};

} // namespace platform
