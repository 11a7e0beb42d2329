#pragma once

#include <QString>

class QAbstractButton;
class QWidget;

namespace platform {

// What assistive technology and the keyboard need of the windows' controls.
//
// Names: a field with a label beside it takes the label's caption as its
// name through QLabel::setBuddy; a control with a caption (button, option
// button, label, menu item) is named by its caption. describe() is for the
// controls that have neither, and gives a control its tooltip as its
// description.
//
// Announcements: Qt tells screen readers of a label's new caption
// (NameChanged, as long as the label has no fixed accessible name) and of
// text added to a text box (TextInserted); the status line and the
// transcript rely on both, so the status label keeps its caption as its name.

// Sets the tooltip, the accessible description (the tooltip) and, when given,
// the accessible name of a control.
void describe(QWidget *control, const QString &name, const QString &tooltip = {});

// Gives the keyboard focus back to `target` after each click of `button`, so
// typing goes on where it was after the button is pressed with the mouse.
void returnFocusAfterClick(QAbstractButton *button, QWidget *target);

} // namespace platform
