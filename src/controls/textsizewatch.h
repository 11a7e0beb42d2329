#pragma once

#include <QValidator>

#include <functional>

namespace platform {

// A line edit's validator that accepts every text and tells `seen` its size
// first: the one hook a line edit runs on a new text before it lays the
// text out (typing, pasting, setText, an input method's commit alike).
class TextSizeWatch : public QValidator
{
    Q_OBJECT

public:
    TextSizeWatch(QObject *parent, std::function<void(qsizetype)> seen);

    State validate(QString &input, int &pos) const override;

private:
    std::function<void(qsizetype)> seen_;
};

} // namespace platform
