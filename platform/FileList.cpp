#include "platform/FileList.h"

#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/Wildcard.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QStringListModel>

#include <algorithm>
#include <vector>

namespace pomiv {

QStringList listFiles(const QString &folder, const QString &pattern, int *err) {
    if (err)
        *err = QFileInfo(folder).isDir() ? Ok : PathNotFound;
    const Wildcard filter(pattern);
    struct Entry {
        QString key; // case-folded, for the order
        QString name;
    };
    std::vector<Entry> entries;
    // Without QDir::Hidden, names starting with a dot (and hidden files on
    // Windows) are left out.
    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (filter.matches(name))
            entries.push_back({name.toCaseFolded(), name});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        const int c = a.key.compare(b.key);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    QStringList names;
    names.reserve(static_cast<qsizetype>(entries.size()));
    for (Entry &e : entries)
        names.append(std::move(e.name));
    return names;
}

FileList::FileList(QWidget *parent) : QListView(parent), m_model(new QStringListModel(this)) {
    setModel(m_model);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    m_path = cleanFolderPath(QDir::currentPath());
}

int FileList::setPath(const QString &path) {
    const QString clean = cleanFolderPath(QDir(path).absolutePath());
    if (!QFileInfo(clean).isDir())
        return PathNotFound;
    const bool changed = clean != m_path;
    m_path = clean;
    refresh();
    if (changed)
        emit pathChanged();
    return Ok;
}

void FileList::setPattern(const QString &pattern) {
    const bool changed = pattern != m_pattern;
    m_pattern = pattern;
    refresh();
    if (changed)
        emit patternChanged();
}

void FileList::refresh() {
    m_names = listFiles(m_path, m_pattern);
    m_model->setStringList(m_names);
}

bool FileList::isSelected(int index) const {
    return selectionModel()->isRowSelected(index, QModelIndex());
}

void FileList::setSelected(int index, bool selected) {
    selectionModel()->select(m_model->index(index), selected ? QItemSelectionModel::Select
                                                             : QItemSelectionModel::Deselect);
}

int FileList::currentIndex() const {
    return QListView::currentIndex().row();
}

void FileList::setCurrentIndex(int index) {
    QListView::setCurrentIndex(m_model->index(index));
}

} // namespace pomiv
