#include "platform/core/messagebox.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

namespace platform {

void QtMessageBoxService::show(const QString &prompt, int style, const QString &title,
                               const QString &detail)
{
    QMessageBox box;
    box.setWindowTitle(title.isEmpty() ? QApplication::applicationName() : title);
    box.setText(prompt);
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    box.setTextFormat(Qt::PlainText);
    // setTextFormat covers the main text only; the detail would still be
    // taken for rich text when it looks like markup (an address "<h1>x</h1>").
    if (auto *informative = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    box.setIcon(style == MsgBoxStyle::Critical ? QMessageBox::Critical : QMessageBox::Warning);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

} // namespace platform
