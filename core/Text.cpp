#include "core/Text.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace pomiv {

bool isUtf8(QByteArrayView bytes, QString *text) {
    // A byte-order mark at the start is a character of the text like any
    // other (a file name may begin with one).
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    if (text) {
        *text = utf8.decode(bytes);
        return !utf8.hasError();
    }
    // Each piece ends where a character does, as no state is carried over.
    constexpr qsizetype piece = 64 * 1024;
    const auto continues = [&](qsizetype at) { return (uchar(bytes[at]) & 0xC0) == 0x80; };
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype end = std::min(at + piece, bytes.size());
        for (int back = 0; back < 3 && end < bytes.size() && continues(end); ++back)
            --end;
        const QString decoded = utf8.decode(bytes.sliced(at, end - at));
        if (utf8.hasError())
            return false;
        at = end;
    }
    return true;
}

std::optional<QByteArray> toShiftJis(const QString &text) {
    QStringEncoder sjis("Shift_JIS", QStringEncoder::Flag::Stateless);
    QByteArray bytes = sjis.encode(text);
    if (sjis.hasError())
        return std::nullopt;
    return bytes;
}

} // namespace pomiv
