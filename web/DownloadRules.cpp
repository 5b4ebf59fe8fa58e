#include "web/DownloadRules.h"

#include "transfer/NumberedNames.h"

#include "platform/Errors.h"

#include <limits>

namespace pomiv {

int parseNumberField(const QString &text, qint64 *value) {
    // The same reading as the numbered transfer's, the download's own range.
    const std::optional<qint64> number = parseRunningNumber(text);
    if (!number)
        return TypeMismatch;
    if (*number < std::numeric_limits<qint32>::min() ||
        *number > std::numeric_limits<qint32>::max())
        return NumberOverflow;
    *value = *number;
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
