#pragma once

#include <QString>

#include <optional>

// The port a user may type in the Port Number field: a whole number from
// MinPort to MaxPort in ASCII digits, blanks around it allowed. The field
// holds four characters, and the messages about ports name this range.
constexpr int MinPort = 1;
constexpr int MaxPort = 9999;

// The port the text names, or nothing if it names none.
std::optional<int> portFromText(const QString &text);
