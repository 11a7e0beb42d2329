#include "connection/deliverywatch.h"

#include "system/kernelsocket.h"

#include <utility>

namespace platform {

DeliveryWatch::DeliveryWatch(int lostPeerMs) : lostPeerMs_(lostPeerMs)
{
    clock_.start();
}

DeliveryWatch::~DeliveryWatch()
{
    kernel::release(fd_);
}

void DeliveryWatch::begin(qintptr descriptor)
{
    kernel::release(std::exchange(fd_, kernel::duplicate(descriptor)));
}

void DeliveryWatch::noteDropped(qint64 queued)
{
    if (droppedQueued_ < 0)
        droppedQueued_ = queued;
}

DeliveryWatch::Verdict DeliveryWatch::look(qint64 queued)
{
    const qint64 owed = queued + kernel::unacknowledged(fd_);
    return judge(owed, queued, clock_.elapsed(), kernel::stoppedAnswering(fd_, lostPeerMs_));
}

DeliveryWatch::Verdict DeliveryWatch::judge(qint64 owed, qint64 queued, qint64 nowMs, bool silent)
{
    ledger_.settle(owed);
    if (owed == 0) {
        owedSinceMs_ = -1;
        return Verdict::Delivered;
    }
    if (owedSinceMs_ < 0)
        owedSinceMs_ = nowMs;
    if (nowMs - owedSinceMs_ < lostPeerMs_ || !silent)
        return Verdict::Owed;
    // Nothing has come back for the whole limit: the peer is gone, and what
    // it never took is owed.
    lostOwed_ = owed;
    droppedQueued_ = queued;
    return Verdict::PeerLost;
}

DeliveryWatch::Handover DeliveryWatch::end(bool live)
{
    Handover handover;
    handover.fd = std::exchange(fd_, -1);
    handover.ledger = std::exchange(ledger_, {});
    handover.lostBytes = live || droppedQueued_ < 0 ? 0 : droppedQueued_;
    handover.knownOwed = lostOwed_;
    droppedQueued_ = -1;
    lostOwed_ = -1;
    owedSinceMs_ = -1;
    return handover;
}

} // namespace platform
