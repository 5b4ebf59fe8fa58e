#include "core/FileService.h"

#include "core/Errors.h"
#include "core/Paths.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pomiv {

static FileService::CopyFault &copyFault() {
    static FileService::CopyFault fault;
    return fault;
}

void FileService::setCopyFaultForTests(CopyFault fault) {
    copyFault() = std::move(fault);
}

NewFile::NewFile(int handle) : m_handle(handle) {}

NewFile::~NewFile() = default;

QIODevice *NewFile::device() {
    if (!m_file) {
        m_file = std::make_unique<QFile>();
        m_file->open(m_handle, QIODevice::WriteOnly | QIODevice::Unbuffered,
                     QFileDevice::DontCloseHandle);
    }
    return m_file->isOpen() ? m_file.get() : nullptr;
}

#ifdef Q_OS_UNIX

static FileIdentity identityOf(const struct stat &st) {
    FileIdentity id;
    id.exists = true;
    id.isLink = S_ISLNK(st.st_mode);
    id.regular = S_ISREG(st.st_mode);
    id.device = quint64(st.st_dev);
    id.node = quint64(st.st_ino);
    id.size = qint64(st.st_size);
    id.changed = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return id;
}

FileIdentity FileIdentity::of(const QString &path) {
    struct stat st {};
    if (::lstat(systemPath(path).constData(), &st) != 0)
        return {};
    return identityOf(st);
}

static Error errorFor(int systemError) {
    return systemError == ENOENT || systemError == ENOTDIR ? FileNotFound : GeneralFailure;
}

// The file opened and checked, or -1 with the error in *err.
static int openRegular(const QByteArray &path, bool followLinks, struct stat *st, Error *err) {
    const int fd = ::open(path.constData(),
                          O_RDONLY | O_CLOEXEC | O_NONBLOCK | (followLinks ? 0 : O_NOFOLLOW));
    if (fd < 0) {
        *err = errorFor(errno);
        return -1;
    }
    if (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
        ::close(fd);
        *err = GeneralFailure;
        return -1;
    }
    return fd;
}

Error openForReading(const QString &path, QFile *file, FileIdentity *identity, bool followLinks) {
    const QByteArray native = systemPath(path);
    struct stat st {};
    Error err = Ok;
    const int fd = openRegular(native, followLinks, &st, &err);
    if (fd < 0) {
        if (identity)
            *identity = FileIdentity::of(path);
        return err;
    }
    if (identity)
        *identity = identityOf(st);
    if (!file->open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return GeneralFailure;
    }
    return Ok;
}

static bool isFolder(const QByteArray &path) {
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

static bool folderOfExists(const QByteArray &path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return isFolder(".");
    return isFolder(slash == 0 ? QByteArray("/") : path.left(slash));
}

bool writeAll(int fd, const char *data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

static bool copyThroughBuffer(int in, int out) {
    QByteArray block(256 * 1024, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = ::read(in, block.data(), size_t(block.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        if (!writeAll(out, block.constData(), got))
            return false;
    }
}

// The data goes from file to file inside the system (shared blocks where the
// file system can). Where that is refused before anything was copied (across
// file systems on older systems, file systems that do not offer it), and for
// files that report nothing to copy (some system files do, whatever they
// hold), it goes through a buffer.
static bool copyData(int in, int out) {
    qint64 copied = 0;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size_t(1) << 30, 0);
        if (n > 0) {
            copied += n;
            continue;
        }
        if (n == 0)
            return copied > 0 || copyThroughBuffer(in, out);
        if (errno == EINTR)
            continue;
        if (copied == 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                            errno == EOPNOTSUPP || errno == EBADF || errno == EPERM))
            return copyThroughBuffer(in, out);
        return false;
    }
}

// Why a copy could not start, in the order the caller tells the reasons
// apart: a missing folder, then a destination that exists, then the rest.
static Error copyRefused(const QByteArray &from, const QByteArray &to) {
    if (!folderOfExists(from) || !folderOfExists(to))
        return PathNotFound;
    struct stat st {};
    return ::lstat(to.constData(), &st) == 0 ? FileAlreadyExists : GeneralFailure;
}

Error createNewFile(const QString &path, const NewFileFill &fill, unsigned permissions) {
    // The file is created here or not at all; a link at the path counts as a
    // file.
    const QByteArray native = systemPath(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          mode_t(permissions & 07777));
    if (fd < 0) {
        struct stat st {};
        if (errno == EEXIST || ::lstat(native.constData(), &st) == 0)
            return FileAlreadyExists;
        return folderOfExists(native) ? GeneralFailure : PathNotFound;
    }
    Error result = GeneralFailure;
    {
        NewFile file(fd);
        result = fill(file);
    }
    if (::close(fd) != 0 && result == Ok)
        result = GeneralFailure;
    // What is cut short is not left behind: the file is the one made here.
    if (result != Ok)
        ::unlink(native.constData());
    return result;
}

Error FileService::copyFile(const QString &source, const QString &destination) const {
    // Only the opens are asked on the way to a copy; what went wrong is
    // looked into when one fails.
    const QByteArray from = systemPath(source);
    struct stat st {};
    Error err = Ok;
    const int in = openRegular(from, true, &st, &err);
    if (in < 0)
        return copyRefused(from, systemPath(destination));
    // The copy starts with the source's permissions, never more open. Left to
    // the system to write out, as any file copy is: a run of thousands of
    // copies must not wait on the disk after each one. The permissions are
    // set again, as the process's mask may have narrowed them.
    const Error result = createNewFile(
        destination,
        [&](NewFile &out) {
            if (copyFault()) {
                if (const Error fault = copyFault()(source, destination); failed(fault))
                    return fault;
            }
            const bool ok =
                copyData(in, out.handle()) && ::fchmod(out.handle(), st.st_mode & 0777) == 0;
            return ok ? Ok : GeneralFailure;
        },
        st.st_mode & 0777);
    ::close(in);
    return result;
}

Error FileService::getFile(const QString &path) const {
    struct stat st {};
    return ::stat(systemPath(path).constData(), &st) == 0 && S_ISREG(st.st_mode) ? Ok
                                                                                 : FileNotFound;
}

Error FileService::deleteFile(const QString &path, bool) const {
    // Removing a name needs no write permission on the file, so nothing is
    // changed before; a link goes itself.
    const QByteArray native = systemPath(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
        return FileNotFound;
    return ::unlink(native.constData()) == 0 ? Ok : errorFor(errno);
}

Error FileService::renameFile(const QString &from, const QString &to) const {
    const QByteArray source = systemPath(from);
    const QByteArray target = systemPath(to);
    struct stat st {};
    if (::lstat(source.constData(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
        return FileNotFound;
    if (!folderOfExists(target))
        return PathNotFound;
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return Ok;
    if (errno == EEXIST)
        return FileAlreadyExists;
    if (errno != EINVAL && errno != ENOSYS)
        return errorFor(errno);
    // A file system that cannot refuse to replace: a second name, which
    // fails when one exists, then the old one goes.
    if (::link(source.constData(), target.constData()) != 0)
        return errno == EEXIST ? FileAlreadyExists : GeneralFailure;
    ::unlink(source.constData());
    return Ok;
}

#else

FileIdentity FileIdentity::of(const QString &path) {
    const QFileInfo info(path);
    FileIdentity id;
    if (!info.exists() && !info.isSymLink())
        return id;
    id.exists = true;
    id.isLink = info.isSymLink();
    id.regular = info.isFile() && !info.isSymLink();
    id.size = info.size();
    id.changed = info.lastModified().toMSecsSinceEpoch();
    return id;
}

Error openForReading(const QString &path, QFile *file, FileIdentity *identity, bool followLinks) {
    const QFileInfo info(path);
    if (identity)
        *identity = FileIdentity::of(path);
    if (!info.exists())
        return FileNotFound;
    if (!info.isFile() || (!followLinks && info.isSymLink()))
        return GeneralFailure;
    file->setFileName(path);
    return file->open(QIODevice::ReadOnly | QIODevice::Unbuffered) ? Ok : GeneralFailure;
}

static bool folderOfExists(const QString &path) {
    return QFileInfo(QFileInfo(path).absolutePath()).isDir();
}

Error createNewFile(const QString &path, const NewFileFill &fill, unsigned) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
            return FileAlreadyExists;
        return folderOfExists(path) ? GeneralFailure : PathNotFound;
    }
    Error result = GeneralFailure;
    {
        NewFile device(file.handle());
        result = fill(device);
    }
    file.close();
    if (result == Ok && file.error() != QFileDevice::NoError)
        result = GeneralFailure;
    if (result != Ok)
        file.remove();
    return result;
}

Error FileService::copyFile(const QString &source, const QString &destination) const {
    if (!folderOfExists(source) || !folderOfExists(destination))
        return PathNotFound;
    QFile in;
    const Error opened = openForReading(source, &in);
    return createNewFile(destination, [&](NewFile &file) {
        if (copyFault()) {
            if (const Error fault = copyFault()(source, destination); failed(fault))
                return fault;
        }
        QIODevice *out = file.device();
        if (opened != Ok || !out)
            return GeneralFailure;
        QByteArray block(256 * 1024, Qt::Uninitialized);
        for (;;) {
            const qint64 got = in.read(block.data(), block.size());
            if (got <= 0)
                return got == 0 ? Ok : GeneralFailure;
            if (out->write(block.constData(), got) != got)
                return GeneralFailure;
        }
    });
}

Error FileService::getFile(const QString &path) const {
    return QFileInfo(path).isFile() ? Ok : FileNotFound;
}

Error FileService::deleteFile(const QString &path, bool force) const {
    const QFileInfo info(path);
    if (info.isSymLink())
        return QFile::remove(path) ? Ok : GeneralFailure;
    if (!info.isFile())
        return FileNotFound;
    // A read-only file must be made writable first; on the file itself, and
    // back as it was should the delete fail.
    const QFileDevice::Permissions before = QFile::permissions(path);
    const bool unlocked =
        force && !info.isWritable() &&
        QFile::setPermissions(path, before | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    if (QFile::remove(path))
        return Ok;
    if (unlocked)
        QFile::setPermissions(path, before);
    return GeneralFailure;
}

Error FileService::renameFile(const QString &from, const QString &to) const {
    if (!QFileInfo(from).isFile())
        return FileNotFound;
    if (!folderOfExists(to))
        return PathNotFound;
    if (QFileInfo::exists(to) || QFileInfo(to).isSymLink())
        return FileAlreadyExists;
    // QFile::rename does not replace an existing file.
    return QFile::rename(from, to) ? Ok : GeneralFailure;
}

#endif

} // namespace pomiv
