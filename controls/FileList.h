#pragma once

#include "core/Errors.h"

#include <QListView>
#include <QStringList>

#include <memory>

class QStringListModel;

namespace pomiv {

struct FolderScan;

// File list control: a folder's matching files, several selectable at once.
// The main window and the viewer use the same control, so both list the same
// entries in the same order for the same folder and pattern. A new list
// stands on the start-up folder with a pattern that matches every file.
class FileList : public QListView {
    Q_OBJECT
public:
    explicit FileList(QWidget *parent = nullptr);

    QString path() const { return m_path; }
    // Shows another folder; PathNotFound when it does not exist (nothing
    // changes then). pathChanged only when the folder differs. A reading of
    // that folder made since the event loop last ran (the folder list's,
    // after a move) is taken instead of reading it again.
    Error setPath(const QString &path, std::shared_ptr<const FolderScan> scan = {});

    QString pattern() const { return m_pattern; }
    void setPattern(const QString &pattern);

    // Reads the folder again.
    void refresh();

    int count() const;
    // Entries as the system gave them (see nameFromSystem); displayText
    // gives what the list shows.
    QString name(int index) const;
    const QStringList &names() const;
    // Whether the list has an entry; cheap even before a large folder is read.
    bool hasEntries() const;
    bool isSelected(int index) const;
    int currentIndex() const;
    void setCurrentIndex(int index);

signals:
    void pathChanged();
    void patternChanged();

private:
    void markStale();
    void ensureRead() const;

    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
    mutable QStringList m_names;
    mutable bool m_stale = true;
    bool m_readQueued = false;
    // The reading of m_path the entries come from, held until the event loop
    // runs: a pattern set meanwhile filters it again without reading.
    mutable std::shared_ptr<const FolderScan> m_scan;
    QStringListModel *m_model;
};

} // namespace pomiv
