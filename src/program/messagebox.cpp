#include "program/messagebox.h"

#include "system/desktop.h"

#include <QApplication>
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
        QMessageBox::showEvent(event); // gives the box its final size
        if (parentWidget() && !event->spontaneous())
            centreFrame(this, parentWidget()->window()->frameGeometry());
    }
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
