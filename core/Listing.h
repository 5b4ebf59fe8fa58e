#pragma once

#include <QString>
#include <QStringList>

namespace pomiv {

struct FolderScan;

// The names (without folder) of the files in one folder that match a
// pattern, sorted ascending without regard to case. Folders and hidden files
// are not listed; none when the folder cannot be read.
QStringList listFiles(const QString &folder, const QString &pattern);

// The same from a reading of the folder already made.
QStringList matchingFiles(const FolderScan &scan, const QString &pattern);

} // namespace pomiv
