#include "platform/DataFile.h"

#include "platform/Errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace pomiv {

static bool isValidUtf8WithNonAscii(const QByteArray &bytes)
{
    bool nonAscii = false;
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            nonAscii = true;
            break;
        }
    }
    if (!nonAscii)
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(bytes);
    return !utf8.hasError();
}

QString decodeDataText(const QByteArray &bytes)
{
    if (isValidUtf8WithNonAscii(bytes))
        return QString::fromUtf8(bytes);
    QStringDecoder sjis("Shift_JIS");
    return sjis.decode(bytes);
}

QByteArray encodeDataText(const QString &text)
{
    QStringEncoder sjis("Shift_JIS");
    QByteArray bytes = sjis.encode(text);
    // A round trip catches characters the converter replaced silently.
    if (!sjis.hasError() && QStringDecoder("Shift_JIS").decode(bytes) == text)
        return bytes;
    return text.toUtf8();
}

int readDataFile(const QString &path, QString *text)
{
    QFile file(path);
    if (!file.exists())
        return FileNotFound;
    if (!file.open(QIODevice::ReadOnly))
        return GeneralFailure;
    if (file.size() > maxDataFileBytes)
        return GeneralFailure;
    const QByteArray bytes = file.read(maxDataFileBytes + 1);
    if (bytes.size() > maxDataFileBytes)
        return GeneralFailure;
    *text = decodeDataText(bytes);
    return Ok;
}

int writeDataFile(const QString &path, const QString &text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
            return PathNotFound;
        return GeneralFailure;
    }
    const QByteArray bytes = encodeDataText(text);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return GeneralFailure;
    }
    return file.commit() ? Ok : GeneralFailure;
}

int rewriteDataFileInPlace(const QString &path, const QString &text)
{
    QFile file(path);
    // Not opened with truncation: a file cut to nothing and written again is
    // pushed to disk at once by some file systems, which is the cost this
    // function avoids.
    if (!file.open(QIODevice::ReadWrite)) {
        if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
            return PathNotFound;
        return GeneralFailure;
    }
    const QByteArray bytes = encodeDataText(text);
    if (file.write(bytes) != bytes.size() || !file.flush() || !file.resize(bytes.size()))
        return GeneralFailure;
    file.close();
    return file.error() == QFileDevice::NoError ? Ok : GeneralFailure;
}

QStringList splitDataLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(text.mid(start, i - start));
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

} // namespace pomiv
