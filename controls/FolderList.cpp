#include "controls/FolderList.h"

#include "controls/Ui.h"

#include "core/DirScan.h"
#include "core/Errors.h"
#include "core/Paths.h"
#include "core/Volumes.h"

#include <QDir>
#include <QFileInfo>
#include <QStyle>

#include <algorithm>
#include <vector>

namespace pomiv {

static constexpr int PathRole = Qt::UserRole;

FolderList::FolderList(QWidget *parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        if (setPath(item->data(PathRole).toString()) != Ok)
            reload();
    });
    // A new list stands on the start-up folder, as the windows expect.
    m_path = Volumes::startupFolder();
    reload();
}

Error FolderList::setPath(const QString &path) {
    const QString clean = cleanFolderPath(QDir(path).absolutePath());
    if (!FolderDrive(clean).isReady())
        return DeviceUnavailable;
    if (!QFileInfo(clean).isDir())
        return PathNotFound;
    const bool changedPath = clean != m_path;
    m_path = clean;
    if (!changedPath && m_scan && isUnchanged(*m_scan))
        fill();
    else
        reload();
    if (changedPath)
        emit changed();
    return Ok;
}

void FolderList::reload() {
    m_scan = readFolder(m_path);
    runOnNextTurn(this, m_releaseQueued, [this] { m_scan.reset(); });
    fill();
}

void FolderList::fill() {
    clear();
    QString root = Volumes::instance().driveOf(m_path);
    if (root.isEmpty())
        root = cleanFolderPath(QDir::rootPath());

    // The chain from the root down to the path, each one level deeper.
    QStringList chain;
    for (QString p = m_path;; p = cleanFolderPath(QFileInfo(p).path())) {
        chain.prepend(p);
        if (p == root || QDir(p).isRoot() || p.size() <= root.size())
            break;
    }
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    int depth = 0;
    for (const QString &p : chain) {
        const QString label = (depth == 0) ? p : QFileInfo(p).fileName();
        auto *it =
            new QListWidgetItem(openIcon, QString(depth * 2, QLatin1Char(' ')) + label, this);
        it->setData(PathRole, p);
        ++depth;
    }
    const int currentRow = count() - 1;
    // In the order of names without regard to case.
    struct Sub {
        QString key;
        QString name;
    };
    std::vector<Sub> subs;
    subs.reserve(size_t(m_scan->folders.size()));
    for (const QString &name : m_scan->folders)
        subs.push_back({name.toLower(), name});
    std::sort(subs.begin(), subs.end(), [](const Sub &a, const Sub &b) {
        const int c = a.key.compare(b.key);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    for (const auto &[key, sub] : subs) {
        auto *it = new QListWidgetItem(
            closedIcon, QString(depth * 2, QLatin1Char(' ')) + displayText(sub), this);
        it->setData(PathRole, joinPath(m_path, sub));
    }
    setCurrentRow(currentRow);
}

} // namespace pomiv
