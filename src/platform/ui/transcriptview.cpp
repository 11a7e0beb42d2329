#include "platform/ui/transcriptview.h"

namespace platform::transcriptview {

namespace {

// Shown as it is: everything but control characters, line and paragraph
// separators, and the two noncharacters the view uses as marks.
bool isPlain(char16_t u)
{
    return u >= 0x20 && u != 0x7F && (u < 0x2028 || (u > 0x2029 && (u < 0xFDD0 || u > 0xFDD1)));
}

bool isBreak(char16_t u)
{
    return u == u'\r' || u == u'\n' || u == 0x2028;
}

// What the view shows for a character that is neither plain nor a break.
char16_t visible(char16_t u)
{
    if (u == u'\t')
        return u;
    if (u < 0x20)
        return char16_t(0x2400 + u); // control pictures
    if (u == 0x7F)
        return 0x2421;
    return QChar::ReplacementCharacter; // paragraph and frame marks of the view
}

} // namespace

Piece render(QStringView text, bool afterCarriageReturn, qsizetype blockChars, Marks marks)
{
    const qsizetype room = marks.cutLongRuns ? text.size() / SoftBlockChars + 1 : 0;
    QString view(text.size() + room, Qt::Uninitialized);
    QChar *const out = view.data();
    qsizetype n = 0;                    // characters written to the view
    qsizetype blockStart = -blockChars; // where the view's last block starts
    QList<Cut> cuts;
    bool previousCr = afterCarriageReturn;
    bool firstBreak = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (isPlain(u)) {
            // A long run starts a block here, never between the halves of a pair.
            if (marks.cutLongRuns && n - blockStart >= SoftBlockChars && !QChar::isLowSurrogate(u)) {
                cuts.append({i, n});
                out[n++] = marks.paragraph;
                blockStart = n;
            }
            out[n++] = u;
            previousCr = false;
        } else if (isBreak(u)) {
            // The LF of a CR LF pair adds nothing to the CR's break.
            if (!(u == u'\n' && previousCr)) {
                const bool newBlock = firstBreak || n - blockStart >= GroupChars;
                out[n++] = newBlock ? marks.paragraph : marks.line;
                if (newBlock)
                    blockStart = n;
                firstBreak = false;
            }
            previousCr = u == u'\r';
        } else {
            out[n++] = visible(u);
            previousCr = false;
        }
    }
    view.truncate(n);
    return {view, cuts, n - blockStart};
}

} // namespace platform::transcriptview
