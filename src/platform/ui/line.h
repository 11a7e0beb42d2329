#pragma once

#include <QLine>
#include <QString>
#include <QWidget>

namespace platform {

// A straight line control, drawn in the window text colour between two points
// given in twips relative to its container.
class Line : public QWidget
{
    Q_OBJECT

public:
    Line(QWidget *parent, const QString &name, int x1, int y1, int x2, int y2);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLine line_;
};

} // namespace platform
