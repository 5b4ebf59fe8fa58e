#include "core/Volumes.h"

#include "core/Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace pomiv {

static std::unique_ptr<Volumes> &current() {
    static std::unique_ptr<Volumes> volumes;
    return volumes;
}

static QString &startup() {
    static QString folder;
    return folder;
}

Volumes &Volumes::instance() {
    if (!current())
        current() = std::make_unique<SystemVolumes>();
    return *current();
}

void Volumes::setInstance(std::unique_ptr<Volumes> volumes) {
    current() = std::move(volumes);
}

QString Volumes::startupFolder() {
    if (startup().isEmpty())
        startup() = cleanFolderPath(QDir::currentPath());
    return startup();
}

void Volumes::setStartupFolder(const QString &folder) {
    startup() = cleanFolderPath(folder);
}

static bool isUnder(const QString &path, const QString &root) {
    if (path == root)
        return true;
    return path.startsWith(withTrailingSeparator(root));
}

QString Volumes::driveOf(const QString &path) const {
    const QString clean = cleanFolderPath(QDir(path).absolutePath());
    QString best;
    for (const QString &root : roots()) {
        if (isUnder(clean, root) && root.size() > best.size())
            best = root;
    }
    return best;
}

FolderDrive::FolderDrive(const QString &folder) : m_drive(Volumes::instance().driveOf(folder)) {}

bool FolderDrive::isReady() const {
    return m_drive.isEmpty() || Volumes::instance().isReady(m_drive);
}

QString Volumes::currentFolder(const QString &root) const {
    const QString start = startupFolder();
    if (driveOf(start) == root)
        return start;
    return root;
}

static bool isPseudoFileSystem(const QByteArray &type) {
    static const QList<QByteArray> pseudo = {
        "proc",       "sysfs",   "cgroup",    "cgroup2",    "devpts",      "devtmpfs",
        "mqueue",     "debugfs", "tracefs",   "securityfs", "pstore",      "bpf",
        "configfs",   "fusectl", "hugetlbfs", "autofs",     "binfmt_misc", "efivarfs",
        "rpc_pipefs", "nsfs",    "selinuxfs", "ramfs",      "squashfs",
    };
    return pseudo.contains(type);
}

QStringList SystemVolumes::roots() const {
    QStringList roots;
    const auto volumes = QStorageInfo::mountedVolumes();
    for (const QStorageInfo &volume : volumes) {
        if (isPseudoFileSystem(volume.fileSystemType()))
            continue;
        const QString root = cleanFolderPath(volume.rootPath());
        if (!roots.contains(root))
            roots.append(root);
    }
    if (roots.isEmpty())
        roots.append(cleanFolderPath(QDir::rootPath()));
    roots.sort();
    return roots;
}

bool SystemVolumes::isReady(const QString &root) const {
    QDir dir(root);
    return dir.exists() && dir.isReadable();
}

} // namespace pomiv
