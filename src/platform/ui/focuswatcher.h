#pragma once

#include <QObject>

class QWidget;

namespace platform {

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
