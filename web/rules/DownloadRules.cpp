#include "web/rules/DownloadRules.h"

#include "settings/rules/NumberedNames.h"

#include "core/Errors.h"

#include <QFile>

#include <limits>

namespace pomiv {

Error parseNumberField(const QString &text, qint64 *value) {
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

bool isGoodPicture(const QByteArray &head, qint64 size, int httpStatus) {
    if (httpStatus < 200 || httpStatus > 299 || size < minPictureBytes)
        return false;
    return head.startsWith("\xFF\xD8\xFF") || head.startsWith("\x89PNG\r\n\x1A\n") ||
           head.startsWith("GIF87a") || head.startsWith("GIF89a") || head.startsWith("BM") ||
           (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP");
}

static qint64 littleEndian32(const QByteArray &bytes, qsizetype at) {
    qint64 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}

bool endsWhole(const QByteArray &head, const QByteArray &tail, qint64 size) {
    if (head.startsWith("\xFF\xD8\xFF")) {
        // Scan data never holds FF D9, so a cut file cannot end in it.
        qsizetype end = tail.size();
        while (end > 0 && (tail.at(end - 1) == '\0' || QChar::isSpace(uchar(tail.at(end - 1)))))
            --end;
        return end >= 2 && tail.at(end - 2) == '\xFF' && tail.at(end - 1) == '\xD9';
    }
    if (head.startsWith("\x89PNG"))
        return tail.endsWith("IEND\xAE\x42\x60\x82");
    if (head.startsWith("GIF8"))
        return tail.endsWith(';');
    if (head.startsWith("BM") && head.size() >= 6)
        return littleEndian32(head, 2) == size;
    if (head.startsWith("RIFF") && head.size() >= 8)
        return littleEndian32(head, 4) + 8 == size;
    return false;
}

bool fileNameFits(const QString &name) {
#ifdef Q_OS_WIN
    return name.size() <= 255;
#else
    return QFile::encodeName(name).size() <= 255;
#endif
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
