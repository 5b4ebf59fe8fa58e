#include "pictures/Metafile.h"

#include <QtEndian>

#include <climits>
#include <cmath>

namespace pomiv::metafile {

namespace {

constexpr double screenDpi = 96.0;

// Little-endian fields; 0 past the end. Not inlined: GCC otherwise warns,
// wrongly, about reading past an empty array.
template <class T> [[gnu::noinline]] T little(const QByteArray &bytes, qint64 at) {
    if (at < 0 || at + qint64(sizeof(T)) > bytes.size())
        return 0;
    return qFromLittleEndian<T>(bytes.constData() + at);
}

quint32 le32(const QByteArray &b, qint64 at) {
    return little<quint32>(b, at);
}
qint32 le32s(const QByteArray &b, qint64 at) {
    return little<qint32>(b, at);
}
quint16 le16(const QByteArray &b, qint64 at) {
    return little<quint16>(b, at);
}
qint16 le16s(const QByteArray &b, qint64 at) {
    return little<qint16>(b, at);
}

int toPixels(double length) {
    return int(qBound(0.0, std::round(length), double(INT_MAX)));
}

bool isPlaceable(const QByteArray &bytes) {
    return bytes.size() >= 22 + 18 && le32(bytes, 0) == 0x9AC6CDD7;
}

// Where a bitmap starts in each record that carries one: after the record's
// size and function (6 bytes) and its parameters.
qint64 bitmapOffset(quint16 function, qint64 recordBytes) {
    switch (function) {
    case 0x0940: // DIBBITBLT: without a bitmap it is 24 bytes long
        return recordBytes > 24 ? 6 + 4 + 12 : -1;
    case 0x0B41: // DIBSTRETCHBLT: without a bitmap, 28
        return recordBytes > 28 ? 6 + 4 + 16 : -1;
    case 0x0F43: // STRETCHDIB
        return 6 + 4 + 2 + 16;
    case 0x0D33: // SETDIBTODEV
        return 6 + 2 + 16;
    case 0x0142: // DIBCREATEPATTERNBRUSH
        return 6 + 4;
    default:
        return -1;
    }
}

// A device-independent bitmap between at and end.
bool bitmapSound(const QByteArray &bytes, qint64 at, qint64 end) {
    const quint32 headerSize = le32(bytes, at);
    qint64 width, height, planes, bits, compression = 0;
    if (headerSize == 12) {
        width = le16(bytes, at + 4), height = le16s(bytes, at + 6);
        planes = le16(bytes, at + 8), bits = le16(bytes, at + 10);
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 64 ||
               headerSize == 108 || headerSize == 124) {
        width = le32s(bytes, at + 4), height = le32s(bytes, at + 8);
        planes = le16(bytes, at + 12), bits = le16(bytes, at + 14);
        compression = le32(bytes, at + 16);
    } else {
        return false;
    }
    height = std::abs(height); // negative: rows from the top
    if (at + headerSize > end || planes != 1 || !withinBudget(width, height))
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    switch (compression) {
    case 0: // uncompressed, or with colour masks: every row is in the record
    case 3:
        return at + headerSize + (width * bits + 31) / 32 * 4 * height <= end;
    case 1: // run-length encoded
    case 2:
        return true;
    default:
        return false;
    }
}

} // namespace

bool withinBudget(qint64 width, qint64 height) {
    return width > 0 && height > 0 && width <= INT_MAX && height <= INT_MAX &&
           width * height <= largestPicturePixels;
}

bool isEmf(const QByteArray &head) {
    // The header record (type 1) carries " EMF" at offset 40.
    return head.size() >= 88 && le32(head, 0) == 1 && le32(head, 40) == 0x464D4520;
}

bool isWmf(const QByteArray &head) {
    if (isPlaceable(head))
        return true;
    // A plain metafile header: in memory or on disk, nine words long,
    // version 1 or 3.
    if (head.size() < 18)
        return false;
    const quint16 type = le16(head, 0), headerWords = le16(head, 2), version = le16(head, 4);
    return (type == 1 || type == 2) && headerWords == 9 && (version == 0x0100 || version == 0x0300);
}

QSize emfSize(const QByteArray &bytes) {
    // The frame is in hundredths of a millimetre.
    const double fl = le32s(bytes, 24), ft = le32s(bytes, 28), fr = le32s(bytes, 32),
                 fb = le32s(bytes, 36);
    const QSize frame(toPixels((fr - fl) * screenDpi / 2540.0),
                      toPixels((fb - ft) * screenDpi / 2540.0));
    if (!frame.isEmpty())
        return frame;
    const double bl = le32s(bytes, 8), bt = le32s(bytes, 12), br = le32s(bytes, 16),
                 bb = le32s(bytes, 20);
    return QSize(toPixels(br - bl + 1), toPixels(bb - bt + 1));
}

QSize wmfPlaceableSize(const QByteArray &bytes) {
    if (!isPlaceable(bytes))
        return {};
    const double left = le16s(bytes, 6), top = le16s(bytes, 8), right = le16s(bytes, 10),
                 bottom = le16s(bytes, 12), unitsPerInch = le16(bytes, 14);
    if (unitsPerInch == 0)
        return {};
    return QSize(toPixels(std::abs(right - left) * screenDpi / unitsPerInch),
                 toPixels(std::abs(bottom - top) * screenDpi / unitsPerInch));
}

bool wmfRecordsSound(const QByteArray &bytes) {
    const qint64 total = bytes.size();
    qint64 at = (isPlaceable(bytes) ? 22 : 0) + 18;
    while (at + 6 <= total) {
        const qint64 size = qint64(le32(bytes, at)) * 2;
        const quint16 function = le16(bytes, at + 4);
        if (size < 6 || at + size > total)
            return false;
        if (function == 0) // the end
            return true;
        if (const qint64 offset = bitmapOffset(function, size); offset >= 0) {
            if (offset + 4 > size || !bitmapSound(bytes, at + offset, at + size))
                return false;
        }
        at += size;
    }
    return false;
}

QByteArray replyHeader(QSize size) {
    QByteArray header(replyTag, 4);
    header.resize(replyHeaderBytes);
    qToLittleEndian<quint32>(size.width(), header.data() + 4);
    qToLittleEndian<quint32>(size.height(), header.data() + 8);
    return header;
}

QSize sizeOfReply(const QByteArray &header) {
    if (header.size() != replyHeaderBytes || !header.startsWith(replyTag))
        return {};
    const qint64 width = le32(header, 4), height = le32(header, 8);
    return withinBudget(width, height) ? QSize(int(width), int(height)) : QSize();
}

} // namespace pomiv::metafile
