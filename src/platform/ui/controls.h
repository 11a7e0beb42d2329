#pragma once

#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace platform {

// Controls set up the way the windows use them.
QLabel *makeLabel(QWidget *parent, const QString &name, const QString &caption);
QLineEdit *makeTextBox(QWidget *parent, const QString &name, int maxLength = 0);
QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption);

} // namespace platform
