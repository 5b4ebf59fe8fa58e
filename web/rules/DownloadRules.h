#pragma once

#include "core/Errors.h"

#include <QByteArray>
#include <QString>

namespace pomiv {

// Reads the number field: spaces around it, an optional sign, then 1 to 15
// digits (007 gives 7). Returns Ok with the value, TypeMismatch for any other
// text (1.5, 1,000, abc, nothing), NumberOverflow beyond the signed 32-bit
// range.
Error parseNumberField(const QString &text, qint64 *value);

// A download below this many bytes is taken for a failed one.
inline constexpr qsizetype minPictureBytes = 10000;

// Whether a downloaded answer is a picture worth keeping: a 2xx status, at
// least minPictureBytes, and the first bytes (head) of a JPEG, PNG, GIF, BMP
// or WebP file.
bool isGoodPicture(const QByteArray &head, qint64 size, int httpStatus);

// Whether a picture's bytes end as a whole file of its kind ends: a JPEG's
// end marker (padding after it allowed), PNG's last chunk, GIF's trailer,
// or the size a BMP or WebP file gives in its head. For answers whose end
// was only the connection's end, where a connection broken off looks the
// same.
bool endsWhole(const QByteArray &head, const QByteArray &tail, qint64 size);

// Whether a file name is short enough for the file system (255 bytes).
bool fileNameFits(const QString &name);

// The characters of an address after its last "/".
QString addressName(const QString &address);

// A file name from an address name that every file system takes: each
// \ / : * ? " < > | and control character becomes "_"; nothing is
// percent-decoded. "." and ".." become "_" and "__".
QString safeFileName(const QString &name);

// The numbered name: prefix, number, ".jpg".
QString numberedName(const QString &prefix, qint64 number);

} // namespace pomiv
