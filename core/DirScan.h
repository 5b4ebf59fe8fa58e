#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace pomiv {

enum class EntryKind { File, Folder };

// Calls visit for every file and folder of a folder that is not hidden (a
// name starting with a dot; the hidden attribute on Windows), in no order.
// Other kinds of entries (devices, sockets) are passed over. Names come as
// nameFromSystem gives them, so each addresses its own file. visit returns
// false to stop. Fast in folders of a hundred thousand files: no per-entry
// stat where the system reports the kind.
void scanFolder(const QString &folder,
                const std::function<bool(const QString &name, EntryKind kind)> &visit);

// One reading of a folder, as scanFolder reports it, in no order: what the
// folder list, the file list and the view button share after a folder move,
// so that a folder of a hundred thousand files is read once.
struct FolderScan {
    QString folder;
    QStringList files;
    QStringList folders;
    qint64 stamp = -1; // the folder's modification time when it was read
};

// Reads a folder whole; a folder that cannot be read gives an empty scan.
std::shared_ptr<const FolderScan> readFolder(const QString &folder);

// Whether the folder has kept its modification time since the scan, so that
// the scan still tells what it holds.
bool isUnchanged(const FolderScan &scan);

// How many times a folder has been read (for tests and benchmarks).
int folderReads();

} // namespace pomiv
