#pragma once

#include <QColor>

#include <optional>

class QWidget;

namespace platform {

// Text and background colours of a control; unset ones keep the defaults.
void setColors(QWidget *control, std::optional<QColor> text, std::optional<QColor> back = {});

} // namespace platform
