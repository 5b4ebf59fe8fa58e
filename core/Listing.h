#pragma once

#include "core/DirScan.h"

#include <QString>
#include <QStringList>

namespace pomiv {

// The names (without folder) of the files in a reading of one folder that
// match a pattern, sorted ascending without regard to case. Folders and
// hidden files are not listed.
QStringList matchingFiles(const FolderScan &scan, const QString &pattern);

} // namespace pomiv
