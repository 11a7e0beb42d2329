#include "controls/longtext.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace platform {

LongTextGuard::LongTextGuard(QLineEdit *box, std::function<QString(qsizetype)> words)
    : QValidator(box), box_(box), words_(std::move(words))
{
    box->setValidator(this);
    box->installEventFilter(this);
}

QValidator::State LongTextGuard::validate(QString &input, int &) const
{
    // Runs before the box lays its text out, so a long text is never laid out.
    const bool hide = input.size() > ShowChars;
    if (hide != (box_->echoMode() == QLineEdit::NoEcho))
        box_->setEchoMode(hide ? QLineEdit::NoEcho : QLineEdit::Normal);
    if (hide)
        summary_ = words_(input.size());
    return Acceptable;
}

void LongTextGuard::insertWhole(const QString &text)
{
    QString all = box_->text();
    int at = box_->cursorPosition();
    if (box_->hasSelectedText()) {
        at = box_->selectionStart();
        all.remove(at, box_->selectedText().size());
    }
    all.insert(at, text);
    box_->setText(all);
    box_->setCursorPosition(int(at + text.size()));
}

bool LongTextGuard::pasteIfLong(const QString &text)
{
    if (box_->isReadOnly() || text.size() + box_->text().size() <= ShowChars)
        return false;
    insertWhole(text);
    return true;
}

void LongTextGuard::paintSummary()
{
    QPainter painter(box_);
    QStyleOptionFrame panel;
    panel.initFrom(box_);
    panel.lineWidth = box_->hasFrame() ? box_->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &panel, box_) : 0;
    panel.midLineWidth = 0;
    panel.state |= QStyle::State_Sunken;
    box_->style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, box_);
    const QRect text = box_->style()->subElementRect(QStyle::SE_LineEditContents, &panel, box_).adjusted(4, 0, -4, 0);
    painter.setPen(box_->palette().color(QPalette::PlaceholderText));
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, summary_);
}

bool LongTextGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != box_)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->matches(QKeySequence::Paste))
            return pasteIfLong(QApplication::clipboard()->text());
        return false;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::MiddleButton
            && QApplication::clipboard()->supportsSelection())
            return pasteIfLong(QApplication::clipboard()->text(QClipboard::Selection));
        return false;
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (drop->mimeData()->hasText() && pasteIfLong(drop->mimeData()->text())) {
            drop->acceptProposedAction();
            return true;
        }
        return false;
    }
    case QEvent::ContextMenu: {
        // The box's own menu, whose Paste takes the long way for a long text.
        QMenu *menu = box_->createStandardContextMenu();
        for (QAction *action : menu->actions()) {
            if (action->objectName() == QLatin1String("edit-paste")) {
                QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
                connect(action, &QAction::triggered, box_, [this] {
                    if (!pasteIfLong(QApplication::clipboard()->text()))
                        box_->paste();
                });
            }
        }
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    }
    case QEvent::Paint:
        // The box's own painting measures its whole text, every time.
        if (box_->echoMode() != QLineEdit::NoEcho)
            return false;
        paintSummary();
        return true;
    default:
        return false;
    }
}

} // namespace platform
