#include "controls/composition.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QLineEdit>

namespace platform {

Composition::Composition(QLineEdit *box) : QObject(box), box_(box)
{
    box->installEventFilter(this);
}

QString Composition::shownText() const
{
    QString text = box_->text();
    if (!preedit_.isEmpty())
        text.insert(box_->cursorPosition(), preedit_);
    return text;
}

void Composition::take()
{
    if (preedit_.isEmpty())
        return;
    const QString taken = preedit_;
    // The focused box is this one (Send does not take the focus), so the
    // input method commits here, at once, what it was composing.
    if (box_->hasFocus())
        QGuiApplication::inputMethod()->commit();
    preedit_.clear();
    taken_ = taken;
}

bool Composition::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != box_)
        return false;
    switch (event->type()) {
    case QEvent::InputMethod: {
        auto *input = static_cast<QInputMethodEvent *>(event);
        const bool plainCommit = input->preeditString().isEmpty() && input->replacementLength() == 0;
        if (!taken_.isEmpty() && !(plainCommit && input->commitString().isEmpty())) {
            const bool echo = plainCommit && input->commitString() == taken_;
            taken_.clear();
            if (echo) {
                event->accept();
                return true;
            }
        }
        preedit_ = input->preeditString();
        return false;
    }
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
        taken_.clear();
        return false;
    default:
        return false;
    }
}

} // namespace platform
