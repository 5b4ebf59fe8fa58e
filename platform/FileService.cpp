#include "platform/FileService.h"

#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace pomiv {

static FileService::CopyFault &copyFault() {
    static FileService::CopyFault fault;
    return fault;
}

void FileService::setCopyFaultForTests(CopyFault fault) {
    copyFault() = std::move(fault);
}

static bool folderOfExists(const QString &path) {
    return QFileInfo(QFileInfo(path).absolutePath()).isDir();
}

int FileService::copyFile(const QString &source, const QString &destination) const {
    if (!folderOfExists(source) || !folderOfExists(destination))
        return PathNotFound;
    const QFileInfo dest(destination);
    if (dest.exists() || dest.isSymLink())
        return FileAlreadyExists;
    if (copyFault()) {
        if (const int err = copyFault()(source, destination))
            return err;
    }
    QFile in(source);
    if (!QFileInfo(source).isFile() || !in.open(QIODevice::ReadOnly))
        return GeneralFailure;
    // The destination is created here or not at all, so a file that appeared
    // in the meantime is never replaced.
    QFile out(destination);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return QFileInfo::exists(destination) ? FileAlreadyExists : GeneralFailure;
    // Left to the system to write out, as any file copy is: a run of
    // thousands of copies must not wait on the disk after each one.
    bool ok = true;
    QByteArray block(256 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(block.data(), block.size());
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        if (out.write(block.constData(), got) != got) {
            ok = false;
            break;
        }
    }
    out.close();
    if (!ok || out.error() != QFileDevice::NoError) {
        // A copy cut short is not left behind.
        out.remove();
        return GeneralFailure;
    }
    out.setPermissions(in.permissions());
    return Ok;
}

int FileService::getFile(const QString &path) const {
    return QFileInfo(path).isFile() ? Ok : FileNotFound;
}

int FileService::deleteFile(const QString &path, bool force) const {
    QFileInfo info(path);
    if (!info.isFile())
        return FileNotFound;
    if (force && !info.isWritable()) {
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner |
                                        QFileDevice::WriteUser);
    }
    return QFile::remove(path) ? Ok : GeneralFailure;
}

int FileService::renameFile(const QString &from, const QString &to) const {
    if (!QFileInfo(from).isFile())
        return FileNotFound;
    if (!folderOfExists(to))
        return PathNotFound;
    if (QFileInfo::exists(to) || QFileInfo(to).isSymLink())
        return FileAlreadyExists;
    // QFile::rename does not replace an existing file.
    return QFile::rename(from, to) ? Ok : GeneralFailure;
}

} // namespace pomiv
