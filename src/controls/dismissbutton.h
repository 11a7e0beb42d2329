#pragma once

class QPushButton;

namespace platform {

// Makes a window's OK button answer Enter (while it has the focus) and
// Escape (anywhere in its window), as people expect of an information window.
void makeDismissButton(QPushButton *ok);

} // namespace platform
