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
    if (!QFileInfo(source).isFile())
        return GeneralFailure;
    // QFile::copy never replaces an existing destination; a copy cut short
    // is removed by it.
    return QFile::copy(source, destination) ? Ok : GeneralFailure;
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
