#include "web/DownloadRules.h"

#include "platform/Errors.h"

#include <limits>

namespace pomiv {

int parseNumberField(const QString &text, qint64 *value) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    }
    const qsizetype digits = t.size() - i;
    if (digits < 1 || digits > 15)
        return TypeMismatch;
    qint64 v = 0;
    for (; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c < u'0' || c > u'9')
            return TypeMismatch;
        v = v * 10 + (c - u'0');
    }
    if (negative)
        v = -v;
    if (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
        return NumberOverflow;
    *value = v;
    return Ok;
}

QString numberErrorText(int err) {
    if (err == NumberOverflow)
        return QStringLiteral("オーバーフローしました。");
    return errorText(err);
}

bool isGoodPicture(const QByteArray &body, int httpStatus) {
    if (httpStatus < 200 || httpStatus > 299 || body.size() < minPictureBytes)
        return false;
    return body.startsWith("\xFF\xD8\xFF") || body.startsWith("\x89PNG\r\n\x1A\n") ||
           body.startsWith("GIF87a") || body.startsWith("GIF89a") || body.startsWith("BM") ||
           (body.startsWith("RIFF") && body.mid(8, 4) == "WEBP");
}

QString addressName(const QString &address) {
    return address.mid(address.lastIndexOf(QLatin1Char('/')) + 1);
}

QString safeFileName(const QString &name) {
    if (name == QLatin1String("."))
        return QStringLiteral("_");
    if (name == QLatin1String(".."))
        return QStringLiteral("__");
    QString safe = name;
    for (QChar &c : safe) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || u == u'\\' || u == u'/' || u == u':' || u == u'*' ||
            u == u'?' || u == u'"' || u == u'<' || u == u'>' || u == u'|')
            c = QLatin1Char('_');
    }
    return safe;
}

QString numberedName(const QString &prefix, qint64 number) {
    return prefix + QString::number(number) + QStringLiteral(".jpg");
}

} // namespace pomiv
