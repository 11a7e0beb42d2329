#include "program/messagebox.h"

#include "system/desktop.h"

#include <QApplication>
#include <QGridLayout>
#include <QTextDocument>
#include <QMessageBox>
#include <QShowEvent>

namespace platform {

namespace {

// A box centred over its owner's frame. Qt centres a dialog by a frame it
// guesses before the window manager has framed it, which lands it half a
// title bar or more off on X11.
class OwnedBox : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent *event) override
    {
        if (!event->spontaneous())
            fitCaption();
        QMessageBox::showEvent(event); // gives the box its final size
        if (parentWidget() && !event->spontaneous())
            centreFrame(this, parentWidget()->window()->frameGeometry());
    }

private:
    // Wide enough for the caption beside the window manager's buttons,
    // which would cut a short box's caption ("Mi...d!"): a strut across the
    // box's grid, which the box sizes itself by.
    void fitCaption()
    {
        auto *grid = qobject_cast<QGridLayout *>(layout());
        if (!grid)
            return;
        const QMargins margins = grid->contentsMargins();
        const int width = captionWidth(this) - margins.left() - margins.right();
        if (!strut_) {
            strut_ = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Minimum);
            grid->addItem(strut_, grid->rowCount(), 0, 1, grid->columnCount());
        }
        strut_->changeSize(std::max(width, 0), 0, QSizePolicy::Minimum, QSizePolicy::Minimum);
        grid->invalidate();
    }

    QSpacerItem *strut_ = nullptr;
};

} // namespace

void QtMessageBoxService::show(const QString &prompt, int style, const QString &title,
                               const QString &detail)
{
    // With a parent the box is a dialog of that window: the window manager
    // keeps it over it, centred, without a task-bar entry of its own.
    OwnedBox box(owner_ ? owner_() : nullptr);
    box.setWindowTitle(title.isEmpty() ? QApplication::applicationName() : title);
    box.setText(prompt);
    box.setTextFormat(Qt::PlainText);
    // setTextFormat covers the main text only, and the detail would be taken
    // for rich text when it looks like markup (an address "<h1>x</h1>"): so
    // the detail goes in as rich text made from the plain, shown as typed.
    if (!detail.isEmpty())
        box.setInformativeText(Qt::convertFromPlainText(detail, Qt::WhiteSpaceNormal));
    box.setIcon(style == MsgBoxStyle::Critical ? QMessageBox::Critical : QMessageBox::Warning);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

} // namespace platform
