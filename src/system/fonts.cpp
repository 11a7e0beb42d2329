#include "system/fonts.h"

#include <QFontDatabase>
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

QString installedFamily(const QString &family)
{
    // Listed once: building the list walks every installed family.
    static const QStringList installed = QFontDatabase::families();
    if (installed.contains(family, Qt::CaseInsensitive))
        return family;
    for (const QString &substitute : QFont::substitutes(family)) {
        if (installed.contains(substitute, Qt::CaseInsensitive))
            return substitute;
    }
    return family;
}

QFont makeFont(const QString &family, qreal pointSize, bool bold)
{
    QFont font(installedFamily(family));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace platform
