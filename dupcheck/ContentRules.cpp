#include "dupcheck/ContentRules.h"

#include "platform/Errors.h"

#include <QFile>

#include <algorithm>
#include <bit>
#include <cstring>

namespace pomiv {

// Large enough to read fast, small enough that two of them never matter.
static constexpr qint64 blockSize = 256 * 1024;

qint64 fingerprintOf(const QByteArray &bytes) {
    qint64 sum = bytes.size();
    for (qsizetype i = 0; i < bytes.size(); i += fingerprintStep)
        sum += static_cast<unsigned char>(bytes[i]);
    return sum;
}

// Reads until the block is full or the file ends; -1 on a read error.
static qint64 readBlock(QFile &file, char *data, qint64 size) {
    qint64 filled = 0;
    while (filled < size) {
        const qint64 got = file.read(data + filled, size - filled);
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        filled += got;
    }
    return filled;
}

ContentSample sampleFile(const QString &path) {
    ContentSample sample;
    QFile file;
    if (openForReading(path, &file, &sample.identity, false) != Ok) {
        sample.link = sample.identity.isLink;
        return sample;
    }
    QByteArray block(blockSize, Qt::Uninitialized);
    const auto *bytes = reinterpret_cast<const unsigned char *>(block.constData());
    qint64 length = 0;
    qint64 sum = 0;
    qint64 next = 0; // file offset of the next byte that counts
    for (;;) {
        const qint64 got = readBlock(file, block.data(), blockSize);
        if (got < 0)
            return sample;
        if (got == 0)
            break;
        for (; next < length + got; next += fingerprintStep)
            sum += bytes[next - length];
        length += got;
    }
    sample.length = length;
    sample.fingerprint = length + sum;
    sample.readable = true;
    return sample;
}

Sameness compareFiles(const QString &a, const QString &b) {
    QFile fileA;
    QFile fileB;
    if (openForReading(a, &fileA, nullptr, false) != Ok ||
        openForReading(b, &fileB, nullptr, false) != Ok)
        return Sameness::Unreadable;
    if (fileA.size() != fileB.size())
        return Sameness::Different;
    QByteArray blockA(blockSize, Qt::Uninitialized);
    QByteArray blockB(blockSize, Qt::Uninitialized);
    for (;;) {
        const qint64 gotA = readBlock(fileA, blockA.data(), blockSize);
        const qint64 gotB = readBlock(fileB, blockB.data(), blockSize);
        if (gotA < 0 || gotB < 0)
            return Sameness::Unreadable;
        if (gotA != gotB || std::memcmp(blockA.constData(), blockB.constData(), gotA) != 0)
            return Sameness::Different;
        if (gotA == 0)
            return Sameness::Same;
    }
}

static size_t keyHash(const ContentSample &s) {
    const quint64 h = quint64(s.fingerprint) * 0x9E3779B97F4A7C15ull ^ quint64(s.length);
    return size_t(h ^ (h >> 29));
}

static bool sameKey(const ContentSample &a, const ContentSample &b) {
    return a.length == b.length && a.fingerprint == b.fingerprint;
}

std::vector<qsizetype> findRepeats(const std::vector<ContentSample> &samples,
                                   const std::function<Sameness(qsizetype, qsizetype)> &compare) {
    const qsizetype count = static_cast<qsizetype>(samples.size());
    std::vector<qsizetype> verdicts(samples.size(), notRepeated);
    // Open-addressing table of the first file of every key, at most half
    // full. Per key, the first files of the distinct contents met so far are
    // chained through nextDistinct in list order.
    const size_t tableSize = std::bit_ceil(std::max<size_t>(16, samples.size() * 2));
    const size_t mask = tableSize - 1;
    std::vector<qsizetype> firstOfKey(tableSize, -1);
    std::vector<qsizetype> nextDistinct(samples.size(), -1);
    std::vector<qsizetype> lastOfKey(samples.size(), -1);

    for (qsizetype i = 0; i < count; ++i) {
        const ContentSample &s = samples[i];
        if (s.link)
            continue;
        if (!s.readable) {
            verdicts[i] = notChecked;
            continue;
        }
        size_t slot = keyHash(s) & mask;
        while (firstOfKey[slot] >= 0 && !sameKey(samples[firstOfKey[slot]], s))
            slot = (slot + 1) & mask;
        if (firstOfKey[slot] < 0) {
            firstOfKey[slot] = i;
            lastOfKey[i] = i;
            continue;
        }
        const qsizetype head = firstOfKey[slot];
        qsizetype verdict = notRepeated;
        for (qsizetype j = head; j >= 0; j = nextDistinct[j]) {
            const Sameness same = compare(j, i);
            if (same == Sameness::Different)
                continue;
            verdict = same == Sameness::Same ? j : notChecked;
            break;
        }
        verdicts[i] = verdict;
        if (verdict == notRepeated) {
            nextDistinct[lastOfKey[head]] = i;
            lastOfKey[head] = i;
        }
    }
    return verdicts;
}

} // namespace pomiv
