#include "controls/FileList.h"

#include "controls/Ui.h"

#include "core/DirScan.h"
#include "core/Errors.h"
#include "core/Listing.h"
#include "core/Paths.h"
#include "core/Volumes.h"
#include "core/Wildcard.h"

#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QStringListModel>

#include <algorithm>
#include <vector>

namespace pomiv {

FileList::FileList(QWidget *parent) : QListView(parent), m_model(new QStringListModel(this)) {
    setModel(m_model);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    // Large folders are laid out a batch at a time, so the window answers at
    // once.
    setLayoutMode(QListView::Batched);
    setBatchSize(2000);
    m_path = Volumes::startupFolder();
    refresh();
}

Error FileList::setPath(const QString &path, std::shared_ptr<const FolderScan> scan) {
    const QString clean = cleanFolderPath(QDir(path).absolutePath());
    if (!QFileInfo(clean).isDir())
        return PathNotFound;
    const bool changed = clean != m_path;
    m_path = clean;
    if (scan && scan->folder == clean && isUnchanged(*scan))
        m_scan = std::move(scan);
    else
        m_scan.reset();
    markStale();
    if (changed)
        emit pathChanged();
    return Ok;
}

void FileList::setPattern(const QString &pattern) {
    const bool changed = pattern != m_pattern;
    m_pattern = pattern;
    if (m_scan && !isUnchanged(*m_scan))
        m_scan.reset();
    markStale();
    if (changed)
        emit patternChanged();
}

void FileList::refresh() {
    m_scan.reset();
    markStale();
}

void FileList::markStale() {
    m_stale = true;
    // The entries are made when something asks for them, or before the list
    // is next painted, whichever comes first: a path and a pattern set one
    // after the other cost one reading. The reading is let go then.
    runOnNextTurn(this, m_readQueued, [this] {
        ensureRead();
        m_scan.reset();
    });
}

void FileList::ensureRead() const {
    if (!m_stale)
        return;
    m_stale = false;
    if (!m_scan)
        m_scan = readFolder(m_path);
    m_names = matchingFiles(*m_scan, m_pattern);
    // The list shows names as text; the entries keep the system's bytes.
    QStringList shown = m_names;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (const QString text = displayText(shown.at(i)); text != shown.at(i))
            shown[i] = text;
    }
    m_model->setStringList(shown);
}

bool FileList::hasEntries() const {
    if (!m_stale)
        return !m_names.isEmpty();
    const Wildcard filter(m_pattern);
    if (m_scan) {
        return std::any_of(m_scan->files.cbegin(), m_scan->files.cend(),
                           [&](const QString &name) { return filter.matches(name); });
    }
    bool found = false;
    scanFolder(m_path, [&](const QString &name, EntryKind kind) {
        found = kind == EntryKind::File && filter.matches(name);
        return !found;
    });
    return found;
}

int FileList::count() const {
    ensureRead();
    return static_cast<int>(m_names.size());
}

QString FileList::name(int index) const {
    ensureRead();
    return m_names.value(index);
}

const QStringList &FileList::names() const {
    ensureRead();
    return m_names;
}

bool FileList::isSelected(int index) const {
    ensureRead();
    return selectionModel()->isRowSelected(index, QModelIndex());
}

int FileList::currentIndex() const {
    ensureRead();
    return QListView::currentIndex().row();
}

void FileList::setCurrentIndex(int index) {
    ensureRead();
    QListView::setCurrentIndex(m_model->index(index));
}

} // namespace pomiv
