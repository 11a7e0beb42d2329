#include "transcript/transcriptkeys.h"

#include "transcript/transcriptbox.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>

namespace platform {

TranscriptKeys::TranscriptKeys(QLineEdit *input, TranscriptBox *transcript)
    : QObject(input), input_(input), transcript_(transcript)
{
    input->installEventFilter(this);
}

bool TranscriptKeys::eventFilter(QObject *, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const bool copy = key->matches(QKeySequence::Copy) && !input_->hasSelectedText()
                      && transcript_->hasSelection();
    std::optional<QAbstractSlider::SliderAction> scroll;
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier && key->key() == Qt::Key_PageUp)
        scroll = QAbstractSlider::SliderPageStepSub;
    else if (modifiers == Qt::NoModifier && key->key() == Qt::Key_PageDown)
        scroll = QAbstractSlider::SliderPageStepAdd;
    else if (modifiers == Qt::ControlModifier && key->key() == Qt::Key_Home)
        scroll = QAbstractSlider::SliderToMinimum;
    else if (modifiers == Qt::ControlModifier && key->key() == Qt::Key_End)
        scroll = QAbstractSlider::SliderToMaximum;
    if (!copy && !scroll)
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept(); // the key is ours, not a window shortcut's
        return true;
    }
    if (copy)
        transcript_->copy();
    else
        transcript_->verticalScrollBar()->triggerAction(*scroll);
    return true;
}

} // namespace platform
