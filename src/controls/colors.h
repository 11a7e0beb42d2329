#pragma once

#include <QColor>

#include <optional>

class QWidget;

namespace platform {

// Text and background colours of a control; unset ones keep the defaults.
void setColors(QWidget *control, std::optional<QColor> text, std::optional<QColor> back = {});
// The background of a window's client area. Only the window's own colour:
// the text boxes on it keep the platform's text-box colours.
void setWindowBackColor(QWidget *area, const QColor &back);

} // namespace platform
