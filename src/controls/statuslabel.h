#pragma once

#include <QLabel>

namespace platform {

// A label that tells when its caption changes, so that its window can have
// the new caption spoken.
class StatusLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

    void setText(const QString &text)
    {
        QLabel::setText(text);
        emit changed(text);
    }

signals:
    void changed(const QString &text);
};

} // namespace platform
