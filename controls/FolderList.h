#pragma once

#include "core/Errors.h"

#include <QListWidget>

#include <memory>

namespace pomiv {

struct FolderScan;

// Folder list control: the folders from the drive's root down to its path,
// then the path's subfolders. A double-click opens a folder; a single click
// only highlights. changed fires when the path changes. A new list stands
// on the start-up folder.
class FolderList : public QListWidget {
    Q_OBJECT
public:
    explicit FolderList(QWidget *parent = nullptr);

    // A full folder path without a trailing separator, except at a root.
    QString path() const { return m_path; }

    // Opens a folder: DeviceUnavailable when its drive is not ready,
    // PathNotFound when it does not exist; nothing changes then. The folder
    // it already shows is not read again before the event loop has run.
    Error setPath(const QString &path);

    // Reads the subfolders again.
    void reload();

    // The reading of the folder the list shows, until the event loop runs
    // (then null): the file list takes it rather than read the folder again.
    std::shared_ptr<const FolderScan> scan() const { return m_scan; }

signals:
    void changed();

private:
    void fill();

    QString m_path;
    std::shared_ptr<const FolderScan> m_scan;
    bool m_releaseQueued = false;
};

} // namespace pomiv
