#include "platform/DataFile.h"

#include "platform/Errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pomiv {

static bool isValidUtf8WithNonAscii(const QByteArray &bytes) {
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

QString decodeDataText(const QByteArray &bytes) {
    if (isValidUtf8WithNonAscii(bytes))
        return QString::fromUtf8(bytes);
    QStringDecoder sjis("Shift_JIS");
    return sjis.decode(bytes);
}

QByteArray encodeDataText(const QString &text) {
    QStringEncoder sjis("Shift_JIS");
    QByteArray bytes = sjis.encode(text);
    // A round trip catches characters the converter replaced silently.
    if (!sjis.hasError() && QStringDecoder("Shift_JIS").decode(bytes) == text)
        return bytes;
    return text.toUtf8();
}

int readDataFile(const QString &path, QString *text) {
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

int writeDataFile(const QString &path, const QString &text) {
    return writeDataBytes(path, encodeDataText(text));
}

int writeDataBytes(const QString &path, const QByteArray &bytes) {
    QSaveFile file(path);
    // Unbuffered, so that a short write (a full disk) shows in write()'s
    // result; a buffered flush may lose it.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
            return PathNotFound;
        return GeneralFailure;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return GeneralFailure;
    }
    return file.commit() ? Ok : GeneralFailure;
}

int rewriteDataFile(const QString &path, const QString &text) {
    const QByteArray bytes = encodeDataText(text);
#ifdef Q_OS_UNIX
    // A small file whose new content is no longer than the old one is
    // written over in place: one write inside blocks the file already has,
    // so neither a full disk nor a size limit can cut it short, and nothing
    // is forced to disk. Then the file is cut to the new length; should the
    // program stop just before, only text after the complete new line is
    // left, which no reader reaches. Anything else takes the replacement.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) {
        struct stat st;
        const bool inPlace = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= 4096 &&
                             bytes.size() <= st.st_size && qint64(st.st_blocks) * 512 >= st.st_size;
        bool written = false;
        if (inPlace) {
            // The old bytes are kept to put back should the write stop short
            // (a size limit): only the bytes it changed need restoring, and
            // those it could write.
            QByteArray old(qsizetype(st.st_size), Qt::Uninitialized);
            if (::pread(fd, old.data(), size_t(old.size()), 0) == old.size()) {
                const ssize_t n = ::pwrite(fd, bytes.constData(), size_t(bytes.size()), 0);
                written = n == bytes.size() && ::ftruncate(fd, bytes.size()) == 0;
                if (!written && n > 0)
                    (void)!::pwrite(fd, old.constData(), size_t(n), 0);
            }
        }
        const bool closed = ::close(fd) == 0;
        if (inPlace && written && closed)
            return Ok;
    }
#endif
    return writeDataFile(path, text);
}

QStringList splitDataLines(const QString &text) {
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
