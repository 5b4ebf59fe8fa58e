#include "dupcheck/rules/ContentRules.h"

#include "core/Paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

namespace pomiv {

// Large enough to read fast, small enough that a few of them never matter.
static constexpr qint64 blockSize = 256 * 1024;

namespace {

// Calls `run` with the key and files of every run of two or more entries of
// equal key, each run in list order; returns the files whose key no other
// file has.
template <typename Key, typename Run>
std::vector<qsizetype> forEachShared(std::vector<std::pair<Key, qsizetype>> &entries, Run run) {
    std::sort(entries.begin(), entries.end());
    std::vector<qsizetype> files, alone;
    for (size_t begin = 0; begin < entries.size();) {
        size_t end = begin + 1;
        while (end < entries.size() && entries[end].first == entries[begin].first)
            ++end;
        if (end - begin > 1) {
            files.clear();
            for (size_t k = begin; k < end; ++k)
                files.push_back(entries[k].second);
            run(entries[begin].first, files);
        } else {
            alone.push_back(entries[begin].second);
        }
        begin = end;
    }
    return alone;
}

using HashKey = std::pair<quint64, quint64>;

// Files of one length in list order, hashed over their first `bytes` bytes;
// `run` gets every set of two or more with the same hash. A file that cannot
// be read is marked unchecked.
template <typename Run>
void byHash(const std::vector<qsizetype> &files, qint64 bytes, ContentSource &source,
            std::vector<qsizetype> &verdicts, Run run) {
    std::vector<std::pair<HashKey, qsizetype>> entries;
    entries.reserve(files.size());
    for (qsizetype file : files) {
        if (const std::optional<ContentHash> hash = source.hash(file, bytes))
            entries.emplace_back(HashKey(hash->high, hash->low), file);
        else
            verdicts[file] = notChecked;
    }
    forEachShared(entries,
                  [&](const HashKey &, const std::vector<qsizetype> &alike) { run(alike); });
}

// Files whose whole contents hash alike, in list order: each is compared
// with the first file of every distinct content met so far in the set.
void settle(const std::vector<qsizetype> &files, ContentSource &source,
            std::vector<qsizetype> &verdicts) {
    std::vector<qsizetype> distinct;
    for (qsizetype file : files) {
        qsizetype verdict = notRepeated;
        for (qsizetype earlier : distinct) {
            const Sameness same = source.compare(earlier, file);
            if (same == Sameness::Different)
                continue;
            verdict = same == Sameness::Same ? earlier : notChecked;
            break;
        }
        verdicts[file] = verdict;
        if (verdict == notRepeated)
            distinct.push_back(file);
    }
}

} // namespace

std::vector<qsizetype> findRepeats(qsizetype count, ContentSource &source) {
    std::vector<qsizetype> verdicts(count, notRepeated);
    std::vector<std::pair<qint64, qsizetype>> lengths;
    lengths.reserve(count);
    for (qsizetype file = 0; file < count; ++file) {
        if (const std::optional<qint64> length = source.length(file))
            lengths.emplace_back(*length, file);
        else
            verdicts[file] = notChecked;
    }
    const auto settleAll = [&](const std::vector<qsizetype> &alike) {
        settle(alike, source, verdicts);
    };
    const std::vector<qsizetype> alone =
        forEachShared(lengths, [&](qint64 length, const std::vector<qsizetype> &sameLength) {
            if (length <= headBytes) {
                byHash(sameLength, length, source, verdicts, settleAll);
                return;
            }
            byHash(sameLength, headBytes, source, verdicts,
                   [&](const std::vector<qsizetype> &sameHead) {
                       byHash(sameHead, length, source, verdicts, settleAll);
                   });
        });
    // Nothing else has their length, but a file that cannot be read is
    // still reported as such.
    for (qsizetype file : alone) {
        if (!source.readable(file))
            verdicts[file] = notChecked;
    }
    return verdicts;
}

// Reads until `size` bytes are in or the file ends; -1 on a read error.
static qint64 readFull(int fd, char *data, qint64 size) {
    qint64 filled = 0;
    while (filled < size) {
        const ssize_t got = ::read(fd, data + filled, size_t(size - filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        filled += got;
    }
    return filled;
}

// A file opened for reading, never through a link and never waiting on a
// FIFO or device, closed when it goes.
class OpenFile {
public:
    explicit OpenFile(const QString &path)
        : m_fd(::open(systemPath(path).constData(),
                      O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK)) {}
    ~OpenFile() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OpenFile(const OpenFile &) = delete;
    OpenFile &operator=(const OpenFile &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

std::optional<qint64> FileContents::length(qsizetype file) {
    const FileIdentity &id = m_identities[file] = FileIdentity::of(m_paths[file]);
    if (!id.exists || !id.regular)
        return std::nullopt;
    return id.size;
}

std::optional<ContentHash> FileContents::hash(qsizetype file, qint64 bytes) {
    const OpenFile in(m_paths[file]);
    if (in.fd() < 0)
        return std::nullopt;
    if (m_block.size() < size_t(blockSize))
        m_block.resize(blockSize);
    // A file shorter than `bytes` has changed since its length was taken.
    const qint64 first = std::min(bytes, blockSize);
    if (readFull(in.fd(), m_block.data(), first) != first)
        return std::nullopt;
    XXH128_hash_t sum;
    if (bytes == first) {
        sum = XXH3_128bits(m_block.data(), size_t(first));
    } else {
        const std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> state(XXH3_createState(),
                                                                             &XXH3_freeState);
        XXH3_128bits_reset(state.get());
        XXH3_128bits_update(state.get(), m_block.data(), size_t(first));
        for (qint64 done = first; done < bytes;) {
            const qint64 want = std::min(bytes - done, blockSize);
            if (readFull(in.fd(), m_block.data(), want) != want)
                return std::nullopt;
            XXH3_128bits_update(state.get(), m_block.data(), size_t(want));
            done += want;
        }
        sum = XXH3_128bits_digest(state.get());
    }
    return ContentHash{sum.low64, sum.high64};
}

bool FileContents::readable(qsizetype file) {
    return OpenFile(m_paths[file]).fd() >= 0;
}

Sameness FileContents::compare(qsizetype a, qsizetype b) {
    const OpenFile fileA(m_paths[a]);
    const OpenFile fileB(m_paths[b]);
    struct stat stA, stB;
    if (fileA.fd() < 0 || fileB.fd() < 0 || ::fstat(fileA.fd(), &stA) != 0 ||
        ::fstat(fileB.fd(), &stB) != 0)
        return Sameness::Unreadable;
    if (stA.st_size != stB.st_size)
        return Sameness::Different;
    if (m_block.size() < size_t(blockSize))
        m_block.resize(blockSize);
    m_other.resize(m_block.size());
    for (qint64 done = 0; done < stA.st_size;) {
        const qint64 want = std::min<qint64>(stA.st_size - done, blockSize);
        if (readFull(fileA.fd(), m_block.data(), want) != want ||
            readFull(fileB.fd(), m_other.data(), want) != want)
            return Sameness::Unreadable;
        if (std::memcmp(m_block.data(), m_other.data(), size_t(want)) != 0)
            return Sameness::Different;
        done += want;
    }
    return Sameness::Same;
}

} // namespace pomiv
