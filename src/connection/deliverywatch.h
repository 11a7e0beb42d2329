#pragma once

#include "connection/sendledger.h"

#include <QElapsedTimer>

namespace platform {

// What one conversation sent and whether it arrived: the lines the peer has
// not acknowledged yet, a second descriptor of the connection to ask the
// system about it (see kernelsocket.h), and the rule that gives a peer up:
// text owed without a break for the whole limit while the peer answers
// nothing for as long. A peer that only stops reading still answers.
class DeliveryWatch
{
public:
    enum class Verdict {
        Delivered, // nothing is owed
        Owed,      // text is on its way; wait
        PeerLost,  // the peer is gone: give it up
    };

    // What the end of the conversation hands to its farewell.
    struct Handover
    {
        int fd = -1;             // the second descriptor (owned), or -1
        SendLedger ledger;       // the lines not known to have arrived
        qint64 lostBytes = 0;    // what Qt held when it dropped the connection
        qint64 knownOwed = -1;   // what was owed when the peer was given up, or -1
    };

    explicit DeliveryWatch(int lostPeerMs);
    ~DeliveryWatch();
    DeliveryWatch(const DeliveryWatch &) = delete;
    DeliveryWatch &operator=(const DeliveryWatch &) = delete;

    void setLostPeerMs(int ms) { lostPeerMs_ = ms; }
    int lostPeerMs() const { return lostPeerMs_; }

    // A conversation begins on the socket with this descriptor.
    void begin(qintptr descriptor);
    // One line as it went out.
    void record(QByteArray line) { ledger_.record(std::move(line)); }
    // Qt dropped the connection holding `queued` bytes; the first note counts.
    void noteDropped(qint64 queued);

    // One look at the connection, Qt still holding `queued` bytes.
    Verdict look(qint64 queued);
    // The rule itself, on the facts of one look: `owed` bytes in Qt and the
    // system, at `nowMs` of a monotonic clock, the peer `silent` (nothing
    // acknowledged and no answer to probes) for the whole limit or not.
    Verdict judge(qint64 owed, qint64 queued, qint64 nowMs, bool silent);

    // The conversation ends: what its farewell takes over, `live` when Qt
    // still has the connection. The watch is then ready for the next one.
    Handover end(bool live);

private:
    int lostPeerMs_;
    int fd_ = -1;
    SendLedger ledger_;
    QElapsedTimer clock_;
    qint64 owedSinceMs_ = -1; // when text became owed without a break since
    qint64 droppedQueued_ = -1;
    qint64 lostOwed_ = -1;
};

} // namespace platform
