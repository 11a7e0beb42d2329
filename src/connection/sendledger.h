#pragma once

#include <QByteArray>

#include <deque>

namespace platform {

// The lines sent on a connection that the peer has not acknowledged yet, so
// that when the connection ends with bytes still owed the user can be told
// how much of which lines may not have arrived.
class SendLedger
{
public:
    // How much of the lines sent is owed: characters (line breaks not
    // counted) and the number of lines they belong to.
    struct Owed
    {
        qint64 characters = 0;
        qint32 lines = 0;
    };

    // One line as it went out, in UTF-8.
    void record(QByteArray line);
    // Forgets the lines the peer has acknowledged: only the last `owedBytes`
    // bytes of all that was sent are still owed.
    void settle(qint64 owedBytes);
    // What the last `owedBytes` bytes of all that was sent amount to.
    Owed owed(qint64 owedBytes) const;
    // Bytes of the lines still kept.
    qint64 bytes() const { return bytes_; }

private:
    std::deque<QByteArray> lines_;
    qint64 bytes_ = 0;
};

} // namespace platform
