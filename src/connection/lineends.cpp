#include "connection/lineends.h"

namespace platform {

QString LineEnds::read(QString text)
{
    if (text.isEmpty())
        return text;
    const bool afterCr = afterCr_;
    afterCr_ = text.endsWith(u'\r');
    // Most text has no NUL at all; the search for one is what it costs.
    for (qsizetype i = text.indexOf(QChar(u'\0')); i >= 0; i = text.indexOf(QChar(u'\0'), i + 1)) {
        if (i == 0 ? afterCr : text.at(i - 1) == u'\r')
            text[i] = u'\n';
    }
    return text;
}

} // namespace platform
