#include "core/DirScan.h"

#include "core/Paths.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFile>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace pomiv {

static int s_reads = 0;

int folderReads() {
    return s_reads;
}

#ifdef Q_OS_UNIX
static qint64 stampOf(const struct stat &st) {
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}
#endif

// The folder's modification time, read before its entries so that a change
// while they are read shows as one; stamp is left alone when there is none.
static void scan(const QString &folder,
                 const std::function<bool(const QString &name, EntryKind kind)> &visit,
                 qint64 *stamp) {
    ++s_reads;
#ifdef Q_OS_UNIX
    DIR *dir = ::opendir(systemPath(folder).constData());
    if (!dir)
        return;
    const int fd = ::dirfd(dir);
    if (struct stat st; stamp && ::fstat(fd, &st) == 0)
        *stamp = stampOf(st);
    while (const dirent *e = ::readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        unsigned char type = e->d_type;
        if (type == DT_UNKNOWN || type == DT_LNK) {
            // Links are taken for what they point to.
            struct stat st;
            if (::fstatat(fd, e->d_name, &st, 0) != 0)
                continue;
            type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_UNKNOWN;
        }
        if (type != DT_REG && type != DT_DIR)
            continue;
        if (!visit(nameFromSystem(e->d_name), type == DT_REG ? EntryKind::File : EntryKind::Folder))
            break;
    }
    ::closedir(dir);
#else
    if (stamp) {
        const QFileInfo info(folder);
        if (info.isDir())
            *stamp = info.lastModified().toMSecsSinceEpoch();
    }
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (!visit(info.fileName(), info.isDir() ? EntryKind::Folder : EntryKind::File))
            break;
    }
#endif
}

void scanFolder(const QString &folder,
                const std::function<bool(const QString &name, EntryKind kind)> &visit) {
    scan(folder, visit, nullptr);
}

std::shared_ptr<const FolderScan> readFolder(const QString &folder) {
    auto result = std::make_shared<FolderScan>();
    result->folder = folder;
    scan(
        folder,
        [&](const QString &name, EntryKind kind) {
            (kind == EntryKind::File ? result->files : result->folders).append(name);
            return true;
        },
        &result->stamp);
    return result;
}

bool isUnchanged(const FolderScan &scan) {
    if (scan.stamp < 0)
        return false;
#ifdef Q_OS_UNIX
    struct stat st;
    return ::stat(systemPath(scan.folder).constData(), &st) == 0 && stampOf(st) == scan.stamp;
#else
    return QFileInfo(scan.folder).lastModified().toMSecsSinceEpoch() == scan.stamp;
#endif
}

} // namespace pomiv
