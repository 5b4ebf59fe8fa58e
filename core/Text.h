#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace pomiv {

// The program's Japanese texts are written in UTF-8 in the source.
inline QString jp(const char *utf8) {
    return QString::fromUtf8(utf8);
}

// Whether bytes are UTF-8 throughout (a character cut off at the end is
// not). With text, it receives their text as well; without, a large text is
// checked in pieces and never held decoded.
bool isUtf8(QByteArrayView bytes, QString *text = nullptr);

// The Shift_JIS bytes of a text; nothing when Shift_JIS cannot hold it.
std::optional<QByteArray> toShiftJis(const QString &text);

} // namespace pomiv
