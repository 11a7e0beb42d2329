#include "controls/controls.h"

#include "controls/characterlimit.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace platform {

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &caption)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void sizeToText(QLabel *label)
{
    const QFontMetrics metrics(label->font());
    const QString text = label->text();
    // The inked extent as well as the advance: bold and italic glyphs may
    // reach past their advance.
    const QRect ink = metrics.tightBoundingRect(text);
    const int width = std::max(metrics.horizontalAdvance(text), ink.right() + 1) - std::min(0, ink.left());
    QRect fitted(0, 0, width + 2 * label->margin(), metrics.height() + 2 * label->margin());
    fitted.moveCenter(label->geometry().center());
    fitted.moveLeft(std::max(0, fitted.left()));
    label->setGeometry(fitted);
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
