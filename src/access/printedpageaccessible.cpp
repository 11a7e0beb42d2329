#include "access/printedpageaccessible.h"

#include "controls/surface.h"
#include "controls/twips.h"

#include <QPointer>

namespace platform {

namespace {

// One printed line: static text named by what it says.
class PrintedLineAccessible : public QAccessibleInterface
{
public:
    PrintedLineAccessible(Surface *surface, int index) : surface_(surface), index_(index) {}

    bool isValid() const override { return surface_ && index_ < surface_->printedLines().size(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return surface_ ? surface_->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(surface_); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::StaticText; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invisible = !surface_ || !surface_->isVisible();
        state.readOnly = true;
        return state;
    }
    QString text(QAccessible::Text which) const override
    {
        return which == QAccessible::Name && isValid() ? surface_->printedLines().at(index_).text : QString();
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        if (!isValid())
            return {};
        const Surface::PrintedLine &line = surface_->printedLines().at(index_);
        const QFontMetrics metrics = surface_->fontMetrics();
        const QRect box(0, px(line.topTwips), metrics.horizontalAdvance(line.text), metrics.height());
        return QRect(surface_->mapToGlobal(box.topLeft()), box.size());
    }

private:
    QPointer<Surface> surface_;
    int index_;
};

} // namespace

PrintedPageAccessible::PrintedPageAccessible(Surface *surface) : QAccessibleWidget(surface, QAccessible::Client) {}

PrintedPageAccessible::~PrintedPageAccessible()
{
    for (QAccessible::Id id : std::as_const(lines_))
        QAccessible::deleteAccessibleInterface(id);
}

Surface *PrintedPageAccessible::surface() const
{
    return static_cast<Surface *>(widget());
}

int PrintedPageAccessible::lineCount() const
{
    return int(surface()->printedLines().size());
}

int PrintedPageAccessible::childCount() const
{
    return lineCount() + QAccessibleWidget::childCount();
}

QAccessibleInterface *PrintedPageAccessible::child(int index) const
{
    if (index < 0)
        return nullptr;
    if (index >= lineCount())
        return QAccessibleWidget::child(index - lineCount());
    while (lines_.size() <= index)
        lines_.append(QAccessible::registerAccessibleInterface(
            new PrintedLineAccessible(surface(), int(lines_.size()))));
    return QAccessible::accessibleInterface(lines_.at(index));
}

int PrintedPageAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const qsizetype line = lines_.indexOf(QAccessible::uniqueId(const_cast<QAccessibleInterface *>(child)));
    if (line >= 0)
        return int(line);
    const int control = QAccessibleWidget::indexOfChild(child);
    return control < 0 ? -1 : control + lineCount();
}

} // namespace platform
