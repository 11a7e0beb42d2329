#include "connection/sendledger.h"

namespace platform {

void SendLedger::record(QByteArray line)
{
    if (line.isEmpty())
        return;
    bytes_ += line.size();
    lines_.push_back(std::move(line));
}

void SendLedger::settle(qint64 owedBytes)
{
    while (!lines_.empty() && bytes_ - lines_.front().size() >= owedBytes) {
        bytes_ -= lines_.front().size();
        lines_.pop_front();
    }
}

SendLedger::Owed SendLedger::owed(qint64 owedBytes) const
{
    Owed owed;
    qint64 left = std::min(owedBytes, bytes_);
    for (auto line = lines_.rbegin(); line != lines_.rend() && left > 0; ++line) {
        const qint64 take = std::min<qint64>(left, line->size());
        left -= take;
        ++owed.lines;
        // Each character starts with a byte that is not a continuation byte;
        // one whose first bytes went and last did not is owed too.
        const qint64 first = line->size() - take;
        if ((static_cast<unsigned char>(line->at(first)) & 0xC0) == 0x80)
            ++owed.characters;
        for (qint64 i = first; i < line->size(); ++i) {
            const auto byte = static_cast<unsigned char>(line->at(i));
            if ((byte & 0xC0) != 0x80 && byte != '\r' && byte != '\n')
                ++owed.characters;
        }
    }
    return owed;
}

} // namespace platform
