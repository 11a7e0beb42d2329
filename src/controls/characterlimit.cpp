#include "controls/characterlimit.h"

namespace platform {

CharacterLimit::CharacterLimit(int limit, QObject *parent) : QValidator(parent), limit_(limit) {}

qsizetype CharacterLimit::characters(QStringView text)
{
    qsizetype count = text.size();
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i].isLowSurrogate() && text[i - 1].isHighSurrogate())
            --count;
    }
    return count;
}

QValidator::State CharacterLimit::validate(QString &input, int &pos) const
{
    // Lone halves of pairs first: they are no character at all.
    for (qsizetype i = input.size() - 1; i >= 0; --i) {
        const QChar c = input[i];
        const bool paired = (c.isHighSurrogate() && i + 1 < input.size() && input[i + 1].isLowSurrogate())
                            || (c.isLowSurrogate() && i > 0 && input[i - 1].isHighSurrogate());
        if (c.isSurrogate() && !paired) {
            input.remove(i, 1);
            if (pos > i)
                --pos;
        }
    }
    // Then whole characters from just before the cursor, where the new text ends.
    qsizetype excess = characters(input) - limit_;
    while (excess > 0) {
        qsizetype at = pos > 0 ? pos : input.size();
        const qsizetype width = at >= 2 && input[at - 1].isLowSurrogate() ? 2 : 1;
        input.remove(at - width, width);
        if (pos > 0)
            pos -= int(width);
        --excess;
    }
    return Acceptable;
}

} // namespace platform
