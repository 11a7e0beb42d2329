#pragma once

#include <QAccessibleWidget>
#include <QList>

namespace platform {

class Surface;

// What a screen reader finds on a window's client area: each line printed on
// it, in print order, as a text of its own (empty lines included), before
// the controls that stand on the area.
class PrintedPageAccessible : public QAccessibleWidget
{
public:
    explicit PrintedPageAccessible(Surface *surface);
    ~PrintedPageAccessible() override;

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;

private:
    Surface *surface() const;
    int lineCount() const;

    mutable QList<QAccessible::Id> lines_; // made on first request, owned by Qt's registry
};

} // namespace platform
