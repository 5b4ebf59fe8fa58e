#pragma once

#include "platform/FileService.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

namespace pomiv {

// What the content check learns of one file in its first pass.
struct ContentSample {
    qint64 length = 0;      // bytes in the file
    qint64 fingerprint = 0; // length plus the bytes at offsets 0, 50, 100, ...
    bool readable = false;  // false when the file could not be read to its end
    bool link = false;      // a symbolic link: no copy of anything, left alone
    FileIdentity identity;  // the file as it was read
};

// Distance between the bytes that enter a fingerprint.
inline constexpr qint64 fingerprintStep = 50;

// The fingerprint of bytes in memory: their number plus each byte, read as
// 0 to 255, at offsets 0, 50, 100, ... An empty run of bytes gives 0.
qint64 fingerprintOf(const QByteArray &bytes);

// Reads a file once, in blocks, for its length and fingerprint; memory use
// does not grow with the file. A link is not followed, and nothing but a
// regular file is read.
ContentSample sampleFile(const QString &path);

enum class Sameness { Same, Different, Unreadable };

// Compares two files byte by byte, in blocks, stopping at the first
// difference. Unreadable when either cannot be read to its end.
Sameness compareFiles(const QString &a, const QString &b);

// Verdicts of findRepeats besides the index of an earlier file.
inline constexpr qsizetype notRepeated = -1; // first of its content: kept
inline constexpr qsizetype notChecked = -2;  // could not be read or compared

// For every file of a list, in list order: the index of an earlier file
// that holds the same bytes, notRepeated, or notChecked. A link is
// notRepeated and never the earlier file of another. Files are grouped
// by length and fingerprint in one pass through a hash map; a file is
// compared byte by byte (by `compare`, given two indices) only with the
// earlier files of its group that differ from each other, so the first
// file of every set of identical files is the one kept.
std::vector<qsizetype> findRepeats(const std::vector<ContentSample> &samples,
                                   const std::function<Sameness(qsizetype, qsizetype)> &compare);

} // namespace pomiv
