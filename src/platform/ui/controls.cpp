#include "platform/ui/controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace platform {

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &caption)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLineEdit *makeTextBox(QWidget *parent, const QString &name, int maxLength)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    if (maxLength > 0)
        box->setMaxLength(maxLength);
    return box;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    // Enter in a text box must not press it.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace platform
