#include "platform/DirScan.h"

#include "platform/Paths.h"

#include <QDirIterator>
#include <QFile>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace pomiv {

void scanFolder(const QString &folder,
                const std::function<bool(const QString &name, EntryKind kind)> &visit) {
#ifdef Q_OS_UNIX
    DIR *dir = ::opendir(systemPath(folder).constData());
    if (!dir)
        return;
    const int fd = ::dirfd(dir);
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
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (!visit(info.fileName(), info.isDir() ? EntryKind::Folder : EntryKind::File))
            break;
    }
#endif
}

} // namespace pomiv
