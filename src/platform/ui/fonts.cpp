#include "platform/ui/fonts.h"

#include <QStringList>

namespace platform {

void installFontSubstitutes()
{
    // Substitutes only apply where the named family is not installed.
    QFont::insertSubstitutions(QStringLiteral("Comic Sans MS"),
                               {QStringLiteral("Comic Neue"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                               {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
    QFont::insertSubstitutions(QStringLiteral("Lucida Sans Unicode"), {QStringLiteral("DejaVu Sans")});
    // Condensed, so the window font keeps its narrow width and 13-pixel line at 8 points.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
}

QFont makeFont(const QString &family, qreal pointSize, bool bold)
{
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace platform
