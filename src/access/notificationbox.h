#pragma once

#include <QWidget>

namespace platform {

// An invisible object that screen readers see as a notification: each
// present() shows it afresh with the message as its name, and a screen
// reader speaks a notification whenever one appears, wherever the focus is.
class NotificationBox : public QWidget
{
    Q_OBJECT

public:
    explicit NotificationBox(QWidget *parent);

    void present(const QString &message);
};

} // namespace platform
