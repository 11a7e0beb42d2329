#include "platform/ui/controls.h"

#include "platform/ui/characterlimit.h"

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
    if (maxLength > 0) {
        // Room for a pair in every place; the limit itself counts characters.
        box->setMaxLength(2 * maxLength);
        box->setValidator(new CharacterLimit(maxLength, box));
    }
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
