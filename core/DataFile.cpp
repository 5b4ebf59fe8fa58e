#include "core/DataFile.h"

#include "core/Errors.h"
#include "core/FileService.h"
#include "core/Paths.h"
#include "core/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <cctype>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pomiv {

static const QByteArray byteOrderMark("\xef\xbb\xbf");

QString decodeDataText(const QByteArray &bytes) {
    if (bytes.startsWith(byteOrderMark))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    QString text;
    if (isUtf8(bytes, &text) &&
        std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() >= 0x800; }))
        return text;
    QStringDecoder sjis("Shift_JIS", QStringDecoder::Flag::Stateless);
    QString asShiftJis = sjis.decode(bytes);
    if (!sjis.hasError())
        return asShiftJis;
    return text;
}

QByteArray encodeDataText(const QString &text) {
    // Reading the bytes back catches characters the converter replaced
    // silently, and bytes the reading rule takes for UTF-8.
    if (const auto bytes = toShiftJis(text); bytes && decodeDataText(*bytes) == text)
        return *bytes;
    return byteOrderMark + text.toUtf8();
}

Error readDataBytes(const QString &path, QByteArray *bytes, qint64 maxBytes, bool *cut) {
    QFile file;
    if (const Error err = openForReading(path, &file); failed(err))
        return err;
    bytes->clear();
    if (!cut && file.size() > maxBytes)
        return GeneralFailure;
    // As much as the file holds, one byte more to see it grow past the
    // bound, never the bound itself: data files are small.
    *bytes = file.read(std::min(file.size(), maxBytes) + 1);
    if (file.error() != QFileDevice::NoError)
        return GeneralFailure;
    const bool longer = bytes->size() > maxBytes;
    if (cut)
        *cut = longer;
    if (!longer)
        return Ok;
    if (!cut)
        return GeneralFailure;
    bytes->truncate(maxBytes);
    return Ok;
}

Error readDataFile(const QString &path, QString *text) {
    QByteArray bytes;
    if (const Error err = readDataBytes(path, &bytes, maxDataFileBytes); failed(err))
        return err;
    *text = decodeDataText(bytes);
    return Ok;
}

Error writeDataFile(const QString &path, const QString &text) {
    return writeDataBytes(path, encodeDataText(text));
}

// "name." and six letters or digits: the program's temporary files.
static constexpr int suffixLength = 6;

static QString temporaryName(const QString &fileName) {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString name = fileName + QLatin1Char('.');
    for (int i = 0; i < suffixLength; ++i)
        name += QLatin1Char(letters[QRandomGenerator::global()->bounded(62)]);
    return name;
}

static bool isTemporaryOf(const QString &name, const QString &fileName) {
    if (name.size() != fileName.size() + 1 + suffixLength || !name.startsWith(fileName) ||
        name[fileName.size()] != QLatin1Char('.'))
        return false;
    return std::all_of(name.cend() - suffixLength, name.cend(),
                       [](QChar c) { return c.unicode() < 0x80 && std::isalnum(c.unicode()); });
}

void removeStaleTemporaries(const QString &folder, const QStringList &fileNames) {
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        const bool ours = std::any_of(fileNames.cbegin(), fileNames.cend(),
                                      [&](const QString &f) { return isTemporaryOf(name, f); });
        const QFileInfo info(QDir(folder).filePath(name));
        if (ours && info.isFile() && !info.isSymLink())
            QFile::remove(info.filePath());
    }
}

#ifdef Q_OS_UNIX

static bool writeAllAt(int fd, const QByteArray &bytes) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

DataFileWriter::DataFileWriter(const QString &path) : m_path(path) {}

DataFileWriter::~DataFileWriter() {
    removeSpare();
}

void DataFileWriter::removeSpare() {
    if (!m_spare.isEmpty())
        ::unlink(m_spare.constData());
    m_spare.clear();
}

Error DataFileWriter::write(const QByteArray &bytes) {
    if (m_spare.isEmpty())
        return writeNew(bytes);
    // The file put aside takes the new content, whole and cut to its length,
    // and is swapped with the one in place: a crash at any instant leaves the
    // old or the new content in place, never a mix.
    const int fd = ::open(m_spare.constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd >= 0) {
        bool ok = writeAllAt(fd, bytes) && ::ftruncate(fd, off_t(bytes.size())) == 0;
        ok = ::close(fd) == 0 && ok;
        if (!ok)
            return GeneralFailure;
        if (::renameat2(AT_FDCWD, m_spare.constData(), AT_FDCWD, m_target.constData(),
                        RENAME_EXCHANGE) == 0)
            return Ok;
    }
    // The file put aside or the file itself was taken away (another copy of
    // the program starting removes what it takes for leftovers): as the
    // first time.
    if (errno != ENOENT)
        return GeneralFailure;
    removeSpare();
    return writeNew(bytes);
}

Error DataFileWriter::writeNew(const QByteArray &bytes) {
    // A data file kept elsewhere through a link is replaced where it is, and
    // the link stays.
    QString target = m_path;
    const QFileInfo info(m_path);
    if (info.isSymLink()) {
        target = info.symLinkTarget();
        if (target.isEmpty())
            return GeneralFailure;
    }
    const QByteArray native = systemPath(target);
    // The new file keeps the old one's permissions.
    bool replacing = false;
    struct stat st {};
    if (::stat(native.constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return GeneralFailure;
        replacing = true;
    } else if (errno != ENOENT) {
        return GeneralFailure;
    }
    const QFileInfo where(target);
    if (!QFileInfo(where.absolutePath()).isDir())
        return PathNotFound;

    // A temporary file taken away by another copy of the program starting
    // (it removes the leftovers it finds) is written once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QByteArray temporary =
            systemPath(QDir(where.absolutePath()).filePath(temporaryName(where.fileName())));
        const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                              replacing ? 0600 : 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return GeneralFailure;
        }
        bool ok = writeAll(fd, bytes.constData(), bytes.size());
        if (replacing)
            ok = ::fchmod(fd, st.st_mode & 07777) == 0 && ok;
        ok = ::close(fd) == 0 && ok;
        if (ok) {
            m_target = native;
            // Swapped with the old file, which stays aside for the next
            // write; with no old file, simply renamed. A swap is as atomic
            // as renaming over the old file, and far cheaper on file systems
            // (ext4) that write a file out at once when it is renamed over
            // another. A kill before the old file is removed leaves it under
            // the temporary name, which the next start removes.
            if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, native.constData(),
                            RENAME_EXCHANGE) == 0) {
                m_spare = temporary;
                return Ok;
            }
            if (::rename(temporary.constData(), native.constData()) == 0)
                return Ok;
        }
        const int err = errno;
        ::unlink(temporary.constData());
        if (!ok || err != ENOENT)
            return GeneralFailure;
    }
    return GeneralFailure;
}

static Error syncPath(const QByteArray &path, int flags) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | flags);
    if (fd < 0)
        return GeneralFailure;
    const bool ok = ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok ? Ok : GeneralFailure;
}

Error DataFileWriter::finish() {
    removeSpare();
    if (m_target.isEmpty())
        return Ok;
    const qsizetype slash = m_target.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArray(".")
                              : slash == 0 ? QByteArray("/")
                                           : m_target.left(slash);
    const Error err = syncPath(m_target, 0);
    return syncPath(folder, O_DIRECTORY) == Ok ? err : GeneralFailure;
}

Error writeDataBytes(const QString &path, const QByteArray &bytes) {
    return DataFileWriter(path).write(bytes);
}

#else

DataFileWriter::DataFileWriter(const QString &path) : m_path(path) {}

DataFileWriter::~DataFileWriter() = default;

void DataFileWriter::removeSpare() {}

Error DataFileWriter::write(const QByteArray &bytes) {
    return writeNew(bytes);
}

// QSaveFile forces each file to disk as it puts it in place.
Error DataFileWriter::finish() {
    return Ok;
}

Error writeDataBytes(const QString &path, const QByteArray &bytes) {
    return DataFileWriter(path).write(bytes);
}

Error DataFileWriter::writeNew(const QByteArray &bytes) {
    const QString &path = m_path;
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return GeneralFailure;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (!QFileInfo(info.absolutePath()).isDir())
            return PathNotFound;
        return GeneralFailure;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return GeneralFailure;
    }
    return file.commit() ? Ok : GeneralFailure;
}

#endif

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
