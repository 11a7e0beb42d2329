#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace platform {

// Decodes UTF-8 that arrives in pieces. A character split between two pieces
// is shown whole: only a trailing sequence that is still incomplete (at most
// three bytes) is held back, and everything before it is decoded statelessly,
// so the result always equals decoding all the bytes at once. (Qt 6.4's
// stateful QStringDecoder can drop a byte when an incomplete character is
// followed by a byte that cannot complete it.)
class Utf8Stream
{
public:
    // The text of every complete character in what has arrived so far.
    QString decode(QByteArrayView bytes);
    // Ends the stream: a character left incomplete shows as U+FFFD.
    QString finish();
    bool hasPending() const { return !held_.isEmpty(); }
    void reset() { held_.clear(); }

    // How many bytes at the end of `bytes` are the start of a valid
    // character that later bytes could still complete.
    static qsizetype incompleteTail(QByteArrayView bytes);

private:
    QByteArray held_;
};

} // namespace platform
