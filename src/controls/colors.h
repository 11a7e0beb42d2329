#pragma once

#include <QColor>

#include <optional>

class QWidget;

namespace platform {

// The contrast ratio of two colours (WCAG 2: 1 to 21).
double contrast(const QColor &a, const QColor &b);

// Text and background colours of a control; unset ones keep the desktop's.
// A text colour given without a background keeps a background of its own,
// the light one it was chosen for, where the desktop's (a dark one) would
// make it hard to read.
void setColors(QWidget *control, std::optional<QColor> text, std::optional<QColor> back = {});
// The background of a window's client area. Only the window's own colour:
// the text boxes on it keep the platform's text-box colours. The desktop's
// text colour on it gives way to black or white where it would not read.
void setWindowBackColor(QWidget *area, const QColor &back);

} // namespace platform
