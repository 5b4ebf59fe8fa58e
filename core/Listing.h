#pragma once

#include <QString>
#include <QStringList>

namespace pomiv {

struct FolderScan;

// The names (without folder) of the files in a reading of one folder that
// match a pattern, sorted ascending without regard to case. Folders and
// hidden files are not listed.
QStringList matchingFiles(const FolderScan &scan, const QString &pattern);

} // namespace pomiv
