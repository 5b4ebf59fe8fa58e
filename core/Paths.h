#pragma once

#include <QString>

namespace pomiv {

// The native path separator ("/" here, "\" on Windows).
QChar pathSeparator();

// A folder, then the separator unless the folder already ends with one, then
// a name.
QString joinPath(const QString &folder, const QString &name);

// Whether a text meant as part of a file name holds a path separator ("/",
// or the native one), which would make it name another folder.
bool holdsPathSeparator(const QString &text);

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

// A file name as the system gave it (bytes on Unix), kept whole in text:
// valid UTF-8 reads as itself, and every other byte is carried as one of
// U+DC80..U+DCFF, which no valid UTF-8 can give. So two names that differ
// only in such bytes stay apart, and systemPath gives the same bytes back.
QString nameFromSystem(const char *bytes, qsizetype size = -1);

// The bytes the system knows a path by: the inverse of nameFromSystem.
// Every call that acts on a user's file takes its path through this, never
// through the decoded text.
QByteArray systemPath(const QString &path);

// A name or path as it is shown: bytes that were no UTF-8 appear as U+FFFD.
QString displayText(const QString &text);

// Native form of a path as the folder lists report it: no trailing separator
// except at a root.
QString cleanFolderPath(const QString &path);

} // namespace pomiv
