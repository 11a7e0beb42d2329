#pragma once

class QLineEdit;
class QString;

namespace platform {

// Draws a one-line text box's frame with `summary` in place of its text, in
// the placeholder colour: what a box shows when its text is too long to lay
// out. Call from the box's paint event.
void paintSummary(QLineEdit *box, const QString &summary);

} // namespace platform
