#pragma once

#include <QString>
#include <QStringList>

namespace pomiv {

struct FolderScan;

// The names (without folder) of the files in one folder that match a
// pattern, sorted ascending without regard to case. Folders and hidden files
// are not listed.
QStringList listFiles(const QString &folder, const QString &pattern, int *err = nullptr);

// The same from a reading of the folder already made.
QStringList matchingFiles(const FolderScan &scan, const QString &pattern);

} // namespace pomiv
