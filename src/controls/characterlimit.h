#pragma once

#include <QValidator>

namespace platform {

// Keeps a text box to at most `limit` characters, counting a surrogate pair
// as the one character it is, so a limit never keeps half of one (which would
// show as U+FFFD and go out as "?"). What goes beyond the limit is cut from
// the end of what was just typed or pasted, as a length limit does; halves of
// pairs that arrive on their own are dropped.
class CharacterLimit : public QValidator
{
    Q_OBJECT

public:
    CharacterLimit(int limit, QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;

    // Characters of `text`, a surrogate pair counting as one.
    static qsizetype characters(QStringView text);

private:
    int limit_;
};

} // namespace platform
