#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QWidget;

namespace platform {

class AtspiAnnouncements;
class NotificationBox;

// Speaks short messages through the screen reader while the keyboard focus
// stays where it is: a new connection status, a line that arrived.
//
// Screen readers ignore changes to controls that do not have the focus, so
// each message goes out one of two ways: as the accessibility bus's
// Announcement signal when a screen reader listens for it (Orca 45.2 and
// later), and otherwise by showing an accessible object of the notification
// role, which older screen readers (Orca 43) speak each time it appears.
// Never both, so no message is spoken twice.
//
// Messages wait while the window is hidden, and are said Interval after it
// comes up, so that they follow the screen reader's words about the window.
//
// Bounded so that a flood cannot bury the speech queue: at most one message
// per Interval; what comes in meanwhile is merged into the next one. The
// arrived lines of a message are whole lines up to MaxChars characters (a
// longer first line is cut there), the rest summed up as "N more lines".
class Announcer : public QObject
{
    Q_OBJECT

public:
    // `window` holds the notification object; `moreLines` words the summary
    // of the lines left out of a message.
    Announcer(QWidget *window, std::function<QString(qsizetype)> moreLines);
    ~Announcer() override;

    static constexpr int Interval = 500; // milliseconds between two messages
    static constexpr qsizetype MaxChars = 200;

    // A status: always spoken, whole.
    void announceStatus(const QString &status);
    // Text that arrived: spoken line by line, empty lines left out, bounded.
    void announceLines(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A part of the next message: a status, or a run of arrived lines.
    struct Part
    {
        QString text;
        bool lines = false;
        bool full = false; // later lines are only counted
        bool cut = false; // its one line was cut short
        qsizetype moreLines = 0;
    };

    void addLine(QStringView line);
    void flush();
    void deliver(const QString &message);

    QWidget *window_;
    std::function<QString(qsizetype)> moreLines_;
    QList<Part> pending_;
    QTimer quiet_; // runs for Interval after each message
    NotificationBox *notification_ = nullptr;
    AtspiAnnouncements *bus_ = nullptr;
};

} // namespace platform
