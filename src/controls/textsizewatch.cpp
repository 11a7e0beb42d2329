#include "controls/textsizewatch.h"

namespace platform {

TextSizeWatch::TextSizeWatch(QObject *parent, std::function<void(qsizetype)> seen)
    : QValidator(parent), seen_(std::move(seen))
{
}

QValidator::State TextSizeWatch::validate(QString &input, int &) const
{
    seen_(input.size());
    return Acceptable;
}

} // namespace platform
