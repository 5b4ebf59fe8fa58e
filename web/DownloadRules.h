#pragma once

#include <QByteArray>
#include <QString>

namespace pomiv {

// The error number for a number field beyond the signed 32-bit range.
inline constexpr int NumberOverflow = 6;

// Reads the number field: spaces around it, an optional sign, then 1 to 15
// digits (007 gives 7). Returns 0 with the value, TypeMismatch for any other
// text (1.5, 1,000, abc, nothing), NumberOverflow beyond the signed 32-bit
// range.
int parseNumberField(const QString &text, qint64 *value);

// The Japanese text for NumberOverflow or for any other error number.
QString numberErrorText(int err);

// A download below this many bytes is taken for a failed one.
inline constexpr qsizetype minPictureBytes = 10000;

// Whether a downloaded answer is a picture worth keeping: a 2xx status, at
// least minPictureBytes, and the first bytes of a JPEG, PNG, GIF, BMP or
// WebP file.
bool isGoodPicture(const QByteArray &body, int httpStatus);

// The characters of an address after its last "/".
QString addressName(const QString &address);

// A file name from an address name that every file system takes: each
// \ / : * ? " < > | and control character becomes "_"; nothing is
// percent-decoded. "." and ".." become "_" and "__".
QString safeFileName(const QString &name);

// The numbered name: prefix, number, ".jpg".
QString numberedName(const QString &prefix, qint64 number);

} // namespace pomiv
