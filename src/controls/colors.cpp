#include "controls/colors.h"

#include <QPalette>
#include <QWidget>

namespace platform {

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
    }
    control->setPalette(palette);
}

void setWindowBackColor(QWidget *area, const QColor &back)
{
    QPalette palette = area->palette();
    palette.setColor(QPalette::Window, back);
    area->setPalette(palette);
    area->setAutoFillBackground(true);
}

} // namespace platform
