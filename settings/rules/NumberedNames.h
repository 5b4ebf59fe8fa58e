#pragma once

#include <QString>

#include <optional>

namespace pomiv {

// The extension part a numbered copy keeps: the name's text from its last
// dot, dot included ("photo.jpeg" gives ".jpeg"). A name without a dot, or
// whose only dot is its first character (".profile"), has none.
QString extensionPart(const QString &name);

// The running number typed into the number field: optional blanks around
// it, an optional sign, then 1 to 15 decimal digits ("007" reads as 7).
// Anything else does not read as a number.
std::optional<qint64> parseRunningNumber(const QString &text);

// The number as it appears in a new name and in the number field: plain
// decimal, minus sign when negative, no padding.
QString numberText(qint64 number);

// Name of a numbered copy: prefix, number text, extension part of the
// source name.
QString numberedName(const QString &prefix, qint64 number, const QString &sourceName);

} // namespace pomiv
