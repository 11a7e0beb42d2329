#pragma once

#include <QList>
#include <QString>
#include <QWidget>

namespace platform {

// The client area of a window: it holds the controls and draws the lines
// printed on the window, which it keeps so that they survive hiding, covering
// and repainting.
class Surface : public QWidget
{
    Q_OBJECT

public:
    struct PrintedLine
    {
        QString text;
        int topTwips;
    };

    explicit Surface(QWidget *parent);
    void print(const QString &text);
    const QList<PrintedLine> &printedLines() const { return lines_; }
    int currentY() const { return currentY_; }
    int lineHeightTwips() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<PrintedLine> lines_;
    int currentY_ = 0;
};

} // namespace platform
