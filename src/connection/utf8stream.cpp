#include "connection/utf8stream.h"

namespace platform {

namespace {

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// The length of the character a lead byte starts, or 0 for a byte that
// cannot start one.
int sequenceLength(unsigned char lead)
{
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// The second byte of a character has a narrower range after some leads
// (no overlong forms, no surrogates, nothing above U+10FFFF).
bool secondByteFits(unsigned char lead, unsigned char second)
{
    switch (lead) {
    case 0xE0: return second >= 0xA0 && second <= 0xBF;
    case 0xED: return second >= 0x80 && second <= 0x9F;
    case 0xF0: return second >= 0x90 && second <= 0xBF;
    case 0xF4: return second >= 0x80 && second <= 0x8F;
    default: return isContinuation(second);
    }
}

// QString::fromUtf8 drops a byte order mark at the start, but a peer's U+FEFF
// is text like any other and must not vanish when it begins an arrival.
QString textOf(QByteArrayView bytes)
{
    qsizetype marks = 0;
    while (bytes.sliced(3 * marks).startsWith("\xEF\xBB\xBF"))
        ++marks;
    if (marks == 0)
        return QString::fromUtf8(bytes);
    return QString(marks, QChar(0xFEFF)) + QString::fromUtf8(bytes.sliced(3 * marks));
}

} // namespace

qsizetype Utf8Stream::incompleteTail(QByteArrayView bytes)
{
    const qsizetype n = bytes.size();
    for (qsizetype i = n - 1; i >= 0 && i >= n - 3; --i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (isContinuation(b))
            continue;
        const int length = sequenceLength(b);
        const qsizetype have = n - i;
        if (length == 0 || have >= length)
            return 0;
        if (have >= 2 && !secondByteFits(b, static_cast<unsigned char>(bytes[i + 1])))
            return 0;
        return have;
    }
    return 0;
}

QString Utf8Stream::decode(QByteArrayView bytes)
{
    if (held_.isEmpty()) {
        const qsizetype tail = incompleteTail(bytes);
        held_ = bytes.last(tail).toByteArray();
        return textOf(bytes.first(bytes.size() - tail));
    }
    QByteArray joined = held_;
    joined.append(bytes);
    const qsizetype tail = incompleteTail(joined);
    held_ = joined.last(tail);
    joined.chop(tail);
    return textOf(joined);
}

QString Utf8Stream::finish()
{
    const QString rest = textOf(held_);
    held_.clear();
    return rest;
}

} // namespace platform
