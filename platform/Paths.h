#pragma once

#include <QString>

namespace pomiv {

// The native path separator ("/" here, "\" on Windows).
QChar pathSeparator();

// A folder, then the separator unless the folder already ends with one, then
// a name.
QString joinPath(const QString &folder, const QString &name);

// The folder with one separator appended unless it already ends with one.
QString withTrailingSeparator(const QString &folder);

// Where the program keeps its data files: the program's folder plus one
// separator, appended unconditionally. When that folder cannot be written, or
// is the folder the program is installed into, the per-user configuration
// folder instead, created on first use, so settings are never silently lost.
QString appDirFor(const QString &programDir);

// The folder an installed copy of the program lives in (/usr/bin for the
// Debian package).
QString installedProgramDir();

// The program's own folder; tests may put another in its place.
QString programDir();
void setProgramDirForTests(const QString &folder);

// Native form of a path as the folder lists report it: no trailing separator
// except at a root.
QString cleanFolderPath(const QString &path);

} // namespace pomiv
