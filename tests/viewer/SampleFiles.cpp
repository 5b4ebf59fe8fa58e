#include "tests/viewer/SampleFiles.h"

#include <QBuffer>
#include <QDataStream>
#include <QImage>
#include <QtGlobal>

namespace pomiv::test {

namespace {

QByteArray written(QSize size, QColor colour, const char *format, int quality = -1) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

// Little-endian writer over a byte array.
struct LittleEndian {
    QByteArray bytes;
    QDataStream out{&bytes, QIODevice::WriteOnly};
    LittleEndian() { out.setByteOrder(QDataStream::LittleEndian); }
    LittleEndian &u8(quint8 v) { return out << v, *this; }
    LittleEndian &u16(quint16 v) { return out << v, *this; }
    LittleEndian &i16(qint16 v) { return out << v, *this; }
    LittleEndian &u32(quint32 v) { return out << v, *this; }
    LittleEndian &i32(qint32 v) { return out << v, *this; }
    LittleEndian &raw(const QByteArray &b) {
        return out.writeRawData(b.constData(), int(b.size())), *this;
    }
};

quint32 colorRef(QColor c) {
    return quint32(c.red()) | quint32(c.green()) << 8 | quint32(c.blue()) << 16;
}

} // namespace

QByteArray bmpBytes(QSize size, QColor colour) {
    return written(size, colour, "BMP");
}

QByteArray icoBytes(QSize size, QColor colour) {
    return written(size, colour, "ICO");
}

QByteArray pngBytes(QSize size, QColor colour) {
    return written(size, colour, "PNG");
}

QByteArray jpegBytes(QSize size, QColor colour, int orientation) {
    QByteArray jpeg = written(size, colour, "JPEG", 90);
    if (orientation == 0)
        return jpeg;
    // An Exif segment with the one Orientation entry, right after the start
    // of image.
    QByteArray exif("Exif\0\0", 6);
    exif += QByteArray("MM\0\x2a\0\0\0\x08", 8);       // big-endian TIFF, first directory at 8
    exif += QByteArray("\0\x01", 2);                   // one entry
    exif += QByteArray("\x01\x12\0\x03\0\0\0\x01", 8); // Orientation, SHORT, count 1
    exif += char(0);
    exif += char(orientation);
    exif += QByteArray("\0\0", 2);
    exif += QByteArray("\0\0\0\0", 4); // no next directory
    QByteArray segment("\xff\xe1", 2);
    const int length = int(exif.size()) + 2;
    segment += char(length >> 8);
    segment += char(length & 0xff);
    segment += exif;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QByteArray packedDibBytes(QSize size, QColor colour) {
    return bmpBytes(size, colour).mid(14);
}

QByteArray curBytes(QSize size, QColor colour) {
    QByteArray bytes = icoBytes(size, colour);
    bytes[2] = 2; // resource type: cursor
    // The first directory entry's planes and bit count become the hot spot.
    bytes[6 + 4] = 1;
    bytes[6 + 5] = 0;
    bytes[6 + 6] = 1;
    bytes[6 + 7] = 0;
    return bytes;
}

QByteArray gifBytes(QSize size, const QList<GifFrame> &frames) {
    // Four palette entries: the frames' colours (up to four).
    QList<QColor> palette;
    for (const GifFrame &f : frames)
        palette.append(f.colour);
    while (palette.size() < 4)
        palette.append(Qt::black);

    LittleEndian w;
    w.raw("GIF89a").u16(quint16(size.width())).u16(quint16(size.height()));
    w.u8(0x91).u8(0).u8(0); // global table of 4 entries
    for (int i = 0; i < 4; ++i)
        w.u8(quint8(palette[i].red())).u8(quint8(palette[i].green())).u8(quint8(palette[i].blue()));
    if (frames.size() > 1) // loop for ever
        w.u8(0x21).u8(0xff).u8(11).raw("NETSCAPE2.0").u8(3).u8(1).u16(0).u8(0);

    for (int index = 0; index < frames.size() && index < 4; ++index) {
        w.u8(0x21).u8(0xf9).u8(4).u8(0x04).u16(quint16(frames[index].delay)).u8(0).u8(0);
        w.u8(0x2c).u16(0).u16(0).u16(quint16(size.width())).u16(quint16(size.height())).u8(0);
        // LZW with a minimum code size of 2: a clear code before every pixel
        // keeps every code 3 bits wide.
        const int clear = 4, end = 5;
        QByteArray data;
        quint32 acc = 0;
        int bits = 0;
        auto put = [&](int code) {
            acc |= quint32(code) << bits;
            bits += 3;
            while (bits >= 8) {
                data += char(acc & 0xff);
                acc >>= 8;
                bits -= 8;
            }
        };
        for (int p = 0; p < size.width() * size.height(); ++p) {
            put(clear);
            put(index);
        }
        put(end);
        if (bits > 0)
            data += char(acc & 0xff);
        w.u8(2);
        for (qsizetype at = 0; at < data.size(); at += 255) {
            const QByteArray block = data.mid(at, 255);
            w.u8(quint8(block.size())).raw(block);
        }
        w.u8(0);
    }
    w.u8(0x3b);
    return w.bytes;
}

QByteArray emfBytes(QSize size, QColor colour) {
    const qint32 frameW = qRound(size.width() * 2540.0 / 96.0);
    const qint32 frameH = qRound(size.height() * 2540.0 / 96.0);
    const quint32 headerSize = 108, brushSize = 24, selectSize = 12, rectSize = 24, eofSize = 20;
    const quint32 total = headerSize + brushSize + selectSize + rectSize + eofSize;

    LittleEndian w;
    // Header: bounds in device pixels, frame in hundredths of a millimetre,
    // a reference device of 96 dots per inch (960 pixels in 254 mm).
    w.u32(1).u32(headerSize);
    w.i32(0).i32(0).i32(size.width() - 1).i32(size.height() - 1);
    w.i32(0).i32(0).i32(frameW).i32(frameH);
    w.u32(0x464D4520).u32(0x10000).u32(total).u32(5);
    w.u16(2).u16(0).u32(0).u32(0).u32(0);
    w.i32(960).i32(960).i32(254).i32(254);
    w.u32(0).u32(0).u32(0);
    w.i32(254000).i32(254000);
    // A solid brush, selected, and the rectangle.
    w.u32(39).u32(brushSize).u32(1).u32(0).u32(colorRef(colour)).u32(0);
    w.u32(37).u32(selectSize).u32(1);
    w.u32(43).u32(rectSize).i32(0).i32(0).i32(size.width()).i32(size.height());
    w.u32(14).u32(eofSize).u32(0).u32(16).u32(eofSize);
    return w.bytes;
}

QByteArray wmfBytes(QSize size, QColor colour) {
    const qint16 right = qint16(size.width() * 15), bottom = qint16(size.height() * 15);

    LittleEndian placeable;
    placeable.u32(0x9AC6CDD7).u16(0).i16(0).i16(0).i16(right).i16(bottom).u16(1440).u32(0);
    quint16 checksum = 0;
    for (int i = 0; i < 10; ++i)
        checksum ^=
            quint16(quint8(placeable.bytes[2 * i]) | quint8(placeable.bytes[2 * i + 1]) << 8);
    placeable.u16(checksum);

    const quint32 words = 9 + 5 + 5 + 7 + 4 + 7 + 3;
    LittleEndian w;
    w.raw(placeable.bytes);
    w.u16(1).u16(9).u16(0x0300).u32(words).u16(1).u32(7).u16(0);
    w.u32(5).u16(0x020B).i16(0).i16(0);                        // window origin
    w.u32(5).u16(0x020C).i16(bottom).i16(right);               // window extent
    w.u32(7).u16(0x02FC).u16(0).u32(colorRef(colour)).u16(0);  // solid brush
    w.u32(4).u16(0x012D).u16(0);                               // select it
    w.u32(7).u16(0x041B).i16(bottom).i16(right).i16(0).i16(0); // rectangle
    w.u32(3).u16(0);                                           // end
    return w.bytes;
}

} // namespace pomiv::test
