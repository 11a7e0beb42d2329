#include "connection/lineends.h"

namespace platform {

QString LineEnds::read(QString text)
{
    if (text.isEmpty())
        return text;
    bool cr = afterCr_;
    for (QChar &c : text) {
        if (cr && c == u'\0')
            c = u'\n';
        cr = c == u'\r';
    }
    afterCr_ = cr;
    return text;
}

} // namespace platform
