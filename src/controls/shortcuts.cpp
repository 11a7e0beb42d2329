#include "controls/shortcuts.h"

#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <QWidget>

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

void letShortcutsThrough(QWidget *control, const QList<QKeySequence> &shortcuts)
{
    new ShortcutPassage(control, shortcuts);
}

} // namespace platform
