#include "web/rules/PageDecoding.h"

#include "core/Text.h"

#include <QStringConverter>

namespace pomiv {

static bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == ':';
}

// The value after "charset" (spaces, "=", spaces and quotes skipped) in
// text, from position at.
static QByteArray charsetValue(const QByteArray &text, qsizetype at) {
    qsizetype i = at;
    const qsizetype n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i >= n || text[i] != '=')
        return QByteArray();
    ++i;
    while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '"' || text[i] == '\''))
        ++i;
    const qsizetype start = i;
    while (i < n && isNameChar(text[i]))
        ++i;
    return text.mid(start, i - start);
}

QByteArray metaCharset(const QByteArray &body) {
    const QByteArray head = body.left(4096).toLower();
    qsizetype meta = 0;
    while ((meta = head.indexOf("<meta", meta)) >= 0) {
        qsizetype end = head.indexOf('>', meta);
        if (end < 0)
            end = head.size();
        const QByteArray tag = head.mid(meta, end - meta);
        qsizetype at = 0;
        while ((at = tag.indexOf("charset", at)) >= 0) {
            at += 7;
            const QByteArray value = charsetValue(tag, at);
            if (!value.isEmpty())
                return value;
        }
        meta = end;
    }
    return QByteArray();
}

static QByteArray headerCharset(const QByteArray &contentType) {
    const QByteArray lower = contentType.toLower();
    const qsizetype at = lower.indexOf("charset");
    if (at < 0)
        return QByteArray();
    return charsetValue(lower, at + 7);
}

static bool decoderFor(const QByteArray &name, QStringDecoder *decoder) {
    if (name.isEmpty())
        return false;
    QStringDecoder d(name.constData());
    if (!d.isValid())
        return false;
    *decoder = std::move(d);
    return true;
}

QStringDecoder pageDecoder(const QByteArray &body, const QByteArray &contentType) {
    QStringDecoder decoder;
    if (const auto bom = QStringConverter::encodingForData(body)) {
        // Only a real byte-order mark counts here, not a guess from zeros.
        const bool hasBom = body.startsWith("\xEF\xBB\xBF") || body.startsWith("\xFF\xFE") ||
                            body.startsWith("\xFE\xFF");
        if (hasBom)
            return QStringDecoder(*bom);
    }
    if (decoderFor(headerCharset(contentType), &decoder))
        return decoder;
    if (decoderFor(metaCharset(body), &decoder))
        return decoder;
    if (isUtf8(body))
        return QStringDecoder(QStringDecoder::Utf8);
    return QStringDecoder("Shift_JIS");
}

} // namespace pomiv
