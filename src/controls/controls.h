#pragma once

#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace platform {

// Controls set up the way the windows use them.
QLabel *makeLabel(QWidget *parent, const QString &name, const QString &caption);
// Sizes a label to its text in its font, keeping the centre of the box it was
// placed in, so that a look-alike font a little wider than the one the box
// was measured for is never clipped.
void sizeToText(QLabel *label);
// A text box of at most `maxLength` characters (a surrogate pair is one); 0 for no limit.
QLineEdit *makeTextBox(QWidget *parent, const QString &name, int maxLength = 0);
QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption);

} // namespace platform
