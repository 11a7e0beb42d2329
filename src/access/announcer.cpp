#include "access/announcer.h"

#include "access/atspiannouncements.h"
#include "access/notificationbox.h"

#include <QAccessible>
#include <QEvent>
#include <QWidget>

namespace platform {

Announcer::Announcer(QWidget *window, std::function<QString(qsizetype)> moreLines)
    : QObject(window), window_(window), moreLines_(std::move(moreLines)),
      notification_(new NotificationBox(window)), bus_(new AtspiAnnouncements(this))
{
    quiet_.setSingleShot(true);
    quiet_.setInterval(Interval);
    connect(&quiet_, &QTimer::timeout, this, &Announcer::flush);
    window->installEventFilter(this);
}

Announcer::~Announcer() = default;

void Announcer::announceStatus(const QString &status)
{
    pending_.append({status});
    if (!quiet_.isActive())
        flush();
}

bool Announcer::eventFilter(QObject *, QEvent *event)
{
    // What was said while the window was hidden waits until the screen
    // reader has announced the window that comes up, then follows it.
    if ((event->type() == QEvent::Show || event->type() == QEvent::WindowActivate) && !pending_.isEmpty())
        quiet_.start();
    // What was not said before the window went away is old news when it comes back.
    if (event->type() == QEvent::Hide && !event->spontaneous()) // hidden by the program, not minimized
        pending_.clear();
    return false;
}

void Announcer::announceLines(const QString &text)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == u'\r' || text[i] == u'\n') {
            addLine(QStringView(text).sliced(start, i - start));
            start = i + 1;
        }
    }
    if (!quiet_.isActive())
        flush();
}

void Announcer::addLine(QStringView line)
{
    if (line.trimmed().isEmpty())
        return;
    if (pending_.isEmpty() || !pending_.back().lines)
        pending_.append({QString(), true});
    Part &part = pending_.back();
    if (part.full) {
        ++part.moreLines; // counted, not copied: a flood costs no memory here
        return;
    }
    qsizetype take = line.size();
    if (!part.text.isEmpty()) {
        if (part.text.size() + 1 + take > MaxChars) {
            part.full = true; // whole lines only, after the first
            ++part.moreLines;
            return;
        }
        part.text += u'\n';
    } else if (take > MaxChars) {
        take = line[MaxChars - 1].isHighSurrogate() ? MaxChars - 1 : MaxChars; // never half a character
        part.cut = true;
        part.full = true;
    }
    for (QChar c : line.first(take))
        part.text += c.category() == QChar::Other_Control ? QChar(u' ') : c; // controls read as blanks
}

void Announcer::flush()
{
    if (pending_.isEmpty() || !window_->isVisible())
        return;
    QStringList parts;
    for (const Part &part : std::as_const(pending_)) {
        QString text = part.text;
        if (part.cut)
            text += QChar(0x2026); // an ellipsis: the line goes on
        if (part.moreLines > 0)
            text += u'\n' + moreLines_(part.moreLines);
        parts << text;
    }
    pending_.clear();
    quiet_.start();
    deliver(parts.join(u'\n'));
}

void Announcer::deliver(const QString &message)
{
    if (!QAccessible::isActive())
        return; // no screen reader is listening
    if (bus_->heard() && bus_->announce(window_, message))
        return;
    notification_->present(message);
}

} // namespace platform
