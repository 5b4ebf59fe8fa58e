#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace pomiv {

// The program's two data files are small text files beside it. They are
// written in Shift_JIS (as files from earlier versions are) unless some
// character cannot be held in it; then the whole file is written in UTF-8 so
// nothing is lost. Reading takes bytes that are valid UTF-8 and contain
// non-ASCII as UTF-8 and everything else as Shift_JIS.

// Decode bytes by the rule above.
QString decodeDataText(const QByteArray &bytes);

// Encode text by the rule above.
QByteArray encodeDataText(const QString &text);

// Read a whole data file and decode it. Returns the error number (0 when it
// was read). Files larger than maxDataFileBytes are refused as unreadable.
int readDataFile(const QString &path, QString *text);

// Replace a data file whole: the new content goes to a temporary file beside
// it, which then takes the old file's place, so a crash or a full disk leaves
// the old file as it was. Returns the error number (0 when written).
int writeDataFile(const QString &path, const QString &text);

// The same with the bytes already encoded.
int writeDataBytes(const QString &path, const QByteArray &bytes);

// Rewrite a small data file that is written again and again (after every
// one of thousands of copies) without the cost of a new file each time:
// in place when that cannot leave it cut short, else as writeDataFile. Either
// way a crash or a full disk leaves the complete old or new content. Returns
// the error number (0 when written).
int rewriteDataFile(const QString &path, const QString &text);

// Lines of a data file, each ended by CR LF, CR or LF (the last one may have
// no end).
QStringList splitDataLines(const QString &text);

inline constexpr qint64 maxDataFileBytes = 64 * 1024 * 1024;

} // namespace pomiv
