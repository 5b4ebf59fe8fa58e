#pragma once

#include "core/FileService.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace pomiv {

// A 128-bit hash of a file's bytes; equal bytes always give equal hashes.
struct ContentHash {
    quint64 low = 0;
    quint64 high = 0;
    friend bool operator==(const ContentHash &, const ContentHash &) = default;
};

enum class Sameness { Same, Different, Unreadable };

// What the content check asks of the files it looks at, by list index.
class ContentSource {
public:
    virtual ~ContentSource() = default;
    // The file's length, or nothing when it cannot be read.
    virtual std::optional<qint64> length(qsizetype file) = 0;
    // The hash of the file's first `bytes` bytes (all of them when `bytes` is
    // its length), or nothing when they cannot be read.
    virtual std::optional<ContentHash> hash(qsizetype file, qint64 bytes) = 0;
    // Whether the file can be opened for reading.
    virtual bool readable(qsizetype file) = 0;
    // Byte-by-byte comparison of two files.
    virtual Sameness compare(qsizetype a, qsizetype b) = 0;
};

// The bytes hashed first, so that files of one length whose beginnings
// differ are never read further.
inline constexpr qint64 headBytes = 4096;

// Verdicts of findRepeats besides the index of an earlier file.
inline constexpr qsizetype notRepeated = -1; // first of its content: kept
inline constexpr qsizetype notChecked = -2;  // could not be read or compared

// For each of `count` files, in list order: the index of the earliest file
// before it that holds the same bytes, notRepeated, or notChecked. A file
// whose length no other file has is never read; files of one length are told
// apart by the hash of their first block, then of their whole content; a
// file is acted on only after a byte-by-byte comparison with the earlier one
// says they are the same, so the first file of every set of identical files
// is the one kept.
std::vector<qsizetype> findRepeats(qsizetype count, ContentSource &source);

// The content source of files on disk, by full path (the bytes of their
// names, as systemPath gives them). Nothing but a regular file is read, and
// never through a link: a link has no length.
class FileContents : public ContentSource {
public:
    explicit FileContents(const QStringList &paths) : m_paths(paths), m_identities(paths.size()) {}
    // Records the file's identity as its length is taken.
    std::optional<qint64> length(qsizetype file) override;
    std::optional<ContentHash> hash(qsizetype file, qint64 bytes) override;
    bool readable(qsizetype file) override;
    // Byte by byte, in blocks, stopping at the first difference; files
    // shorter than they said are unreadable.
    Sameness compare(qsizetype a, qsizetype b) override;
    // What the file was when its length was taken.
    const FileIdentity &identity(qsizetype file) const { return m_identities[file]; }

private:
    QStringList m_paths;
    std::vector<FileIdentity> m_identities;
    std::vector<char> m_block, m_other;
};

} // namespace pomiv
