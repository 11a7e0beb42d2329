#include "platform/controls.h"

#include "platform/devicepixels.h"
#include "platform/form.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QtMath>

namespace platform {

void installFontSubstitutes()
{
    // Substitutes only apply where the named family is not installed.
    QFont::insertSubstitutions(QStringLiteral("Comic Sans MS"),
                               {QStringLiteral("Comic Neue"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                               {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
    QFont::insertSubstitutions(QStringLiteral("Lucida Sans Unicode"), {QStringLiteral("DejaVu Sans")});
    // Narrow like the original, with the same 13-pixel line at 8 points.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
}

QFont makeFont(const QString &family, qreal pointSize, bool bold)
{
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

void setColors(QWidget *control, std::optional<QColor> text, std::optional<QColor> back)
{
    QPalette palette = control->palette();
    if (text) {
        palette.setColor(QPalette::WindowText, *text);
        palette.setColor(QPalette::Text, *text);
        palette.setColor(QPalette::ButtonText, *text);
    }
    if (back) {
        palette.setColor(QPalette::Window, *back);
        palette.setColor(QPalette::Base, *back);
        control->setAutoFillBackground(true);
    }
    control->setPalette(palette);
}

void setWindowBackColor(QWidget *area, const QColor &back)
{
    QPalette palette = area->palette();
    palette.setColor(QPalette::Window, back);
    area->setPalette(palette);
    area->setAutoFillBackground(true);
}

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

Line::Line(QWidget *parent, const QString &name, int x1, int y1, int x2, int y2)
    : QWidget(parent)
{
    setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // One pixel more than the line on every side, so that at a fractional
    // scale a whole device pixel of the line lies inside the control.
    const QRect box = QRect(QPoint(px(x1), px(y1)), QPoint(px(x2), px(y2))).normalized().adjusted(-1, -1, 2, 2);
    setGeometry(box);
    line_ = QLine(px(x1) - box.left(), px(y1) - box.top(), px(x2) - box.left(), px(y2) - box.top());
}

void Line::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QColor colour = palette().color(QPalette::WindowText);
    if (line_.dx() != 0 && line_.dy() != 0) {
        painter.setPen(colour);
        painter.drawLine(line_);
        return;
    }
    // A rule across or down: on whole device pixels from where it starts, so
    // that at a fractional scale (1.25) it is neither lost between pixels nor
    // covered by the menu bar that shares its first row.
    const int thickness = qMax(1, qFloor(devicePixelRatioF()));
    const QRect span = wholeDevicePixels(painter, QRectF(QRectF(line_.p1(), line_.p2()).normalized().adjusted(0, 0, 1, 1)));
    fillDevicePixels(painter, line_.dy() == 0 ? QRect(span.left(), span.top(), span.width(), thickness)
                                              : QRect(span.left(), span.top(), thickness, span.height()),
                     colour);
}

FocusWatcher::FocusWatcher(QWidget *control) : QObject(control)
{
    control->installEventFilter(this);
}

bool FocusWatcher::eventFilter(QObject *, QEvent *event)
{
    if (event->type() == QEvent::FocusIn)
        emit gotFocus();
    return false;
}

} // namespace platform

#include "platform/error.h"

namespace platform {

namespace {

class ShortcutPassage : public QObject
{
public:
    ShortcutPassage(QWidget *control, const QList<QKeySequence> &shortcuts)
        : QObject(control), shortcuts_(shortcuts)
    {
        control->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::ShortcutOverride)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeySequence pressed(key->keyCombination());
        for (const QKeySequence &shortcut : shortcuts_) {
            if (shortcut.matches(pressed) == QKeySequence::ExactMatch) {
                event->ignore(); // not overridden: the shortcut fires
                return true;
            }
        }
        return false;
    }

private:
    QList<QKeySequence> shortcuts_;
};

} // namespace

void makeDismissButton(QPushButton *ok)
{
    ok->setAutoDefault(true);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), ok->window());
    QObject::connect(escape, &QShortcut::activated, ok, &QPushButton::click);
}

void letShortcutsThrough(QWidget *control, const QList<QKeySequence> &shortcuts)
{
    new ShortcutPassage(control, shortcuts);
}

qint32 wholeNumber(const QString &text, const QString &field, qint32 min, qint32 max)
{
    const QString digits = text.trimmed();
    bool allDigits = !digits.isEmpty() && digits.size() <= 9;
    for (QChar c : digits)
        allDigits = allDigits && c >= u'0' && c <= u'9';
    const qint32 value = allDigits ? digits.toInt() : -1;
    if (!allDigits || value < min || value > max)
        throw Error(err::InvalidPropertyValue,
                    QStringLiteral("The %1 \"%2\" is not a whole number from %3 to %4.")
                        .arg(field, text)
                        .arg(min)
                        .arg(max),
                    QStringLiteral("Correct the %1 field and press Connect again.").arg(field));
    return value;
}

} // namespace platform
