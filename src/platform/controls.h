#pragma once

#include <QColor>
#include <QFont>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace platform {

// Makes the classic Windows font names resolve to installed look-alikes where
// the originals are missing. Safe to call more than once.
void installFontSubstitutes();

// A font by name, point size and weight; the size may be fractional (14.25).
QFont makeFont(const QString &family, qreal pointSize, bool bold = false);

// Text and background colours of a control; unset ones keep the defaults.
void setColors(QWidget *control, std::optional<QColor> text, std::optional<QColor> back = {});
// The background of a window's client area. Only the window's own colour:
// the text boxes on it keep the platform's text-box colours.
void setWindowBackColor(QWidget *area, const QColor &back);

// Controls set up the way the windows use them.
QLabel *makeLabel(QWidget *parent, const QString &name, const QString &caption);
// Sizes a label to its text in its font, keeping the centre of the box it was
// placed in, so that a look-alike font a little wider than the one the box
// was measured for is never clipped.
void sizeToText(QLabel *label);
QLineEdit *makeTextBox(QWidget *parent, const QString &name, int maxLength = 0);
QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption);

// A straight line control, drawn in the window text colour between two points
// given in twips relative to its container.
class Line : public QWidget
{
    Q_OBJECT

public:
    Line(QWidget *parent, const QString &name, int x1, int y1, int x2, int y2);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLine line_;
};

// Raises gotFocus() whenever the watched control receives the keyboard focus.
class FocusWatcher : public QObject
{
    Q_OBJECT

public:
    explicit FocusWatcher(QWidget *control);

signals:
    void gotFocus();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace platform

namespace platform {

// Lets the window's shortcuts work while the control has the focus, even
// for keys the control would otherwise keep for itself.
void letShortcutsThrough(QWidget *control, const QList<QKeySequence> &shortcuts);

// Makes a window's OK button answer Enter (while it has the focus) and
// Escape (anywhere in its window), as people expect of an information window.
void makeDismissButton(QPushButton *ok);

// The whole number a field holds, from `min` to `max`; blanks around the
// digits are allowed. Anything else is an Error that names the field.
qint32 wholeNumber(const QString &text, const QString &field, qint32 min, qint32 max);

} // namespace platform
