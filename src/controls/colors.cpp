#include "controls/colors.h"

#include <QFontInfo>
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

// The light surface every fixed text colour was chosen for.
const QColor LightDefaultSurface(239, 239, 239);

double channel(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &c)
{
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// What the text needs to be read well: 4.5:1, or 3:1 for 14 pt bold and larger.
double enough(const QWidget *control)
{
    const QFontInfo font(control->font());
    return font.pointSizeF() >= 14 && font.bold() ? 3.0 : 4.5;
}

// Whether `text` on the desktop's `surface` reads at least as well as on the
// light default surface, or well enough.
bool readsOn(const QColor &text, const QColor &surface, double needed)
{
    const double onSurface = contrast(text, surface);
    return onSurface >= needed || onSurface >= contrast(text, LightDefaultSurface);
}

} // namespace

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

void setColors(QWidget *control, std::optional<QColor> text, std::optional<QColor> back)
{
    QPalette palette = control->palette();
    if (text) {
        palette.setColor(QPalette::WindowText, *text);
        palette.setColor(QPalette::Text, *text);
        palette.setColor(QPalette::ButtonText, *text);
    }
    if (back) {
        palette.setColor(QPalette::Window, *back);
        palette.setColor(QPalette::Base, *back);
        control->setAutoFillBackground(true);
    } else if (text) {
        // A fixed text colour on the desktop's surface: where that surface
        // (a dark one) makes it hard to read, the text stands on the light
        // surface its colour was chosen for.
        // A surface this program fixed (the chat window's grey) stays.
        const QWidget *under = control->parentWidget() ? control->parentWidget() : control;
        const QPalette::ColorRole role = under->backgroundRole();
        const bool fixed = under->palette().isBrushSet(QPalette::Active, role);
        if (!fixed && !readsOn(*text, under->palette().color(role), enough(control))) {
            palette.setColor(QPalette::Window, LightDefaultSurface);
            control->setAutoFillBackground(true);
        }
    }
    control->setPalette(palette);
}

void setWindowBackColor(QWidget *area, const QColor &back)
{
    QPalette palette = area->palette();
    palette.setColor(QPalette::Window, back);
    // The desktop's text colour on a fixed surface: where it does not read
    // there (light text of a dark desktop on a light grey), black or white,
    // whichever reads better.
    const QColor text = palette.color(QPalette::WindowText);
    if (contrast(text, back) < 4.5) {
        const QColor black(0, 0, 0), white(255, 255, 255);
        palette.setColor(QPalette::WindowText, contrast(black, back) >= contrast(white, back) ? black : white);
    }
    area->setPalette(palette);
    area->setAutoFillBackground(true);
}

} // namespace platform
