#include "platform/core/messagebox.h"

#include <QApplication>
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
    box.setIcon(style == MsgBoxStyle::Critical ? QMessageBox::Critical : QMessageBox::Warning);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

} // namespace platform
