#pragma once

#include <QBuffer>
#include <QDataStream>
#include <QImage>
#include <QList>

// Small picture files of every type the viewer shows, made here for the
// tests so that no sample comes from elsewhere.
namespace pomiv::test {

// One colour at one size through Qt's writers: "BMP", "ICO", "PNG", "JPEG".
inline QByteArray sample(const char *format, QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 90);
    return bytes;
}
inline QByteArray bmpBytes(QSize size, QColor colour) {
    return sample("BMP", size, colour);
}

// A JPEG; with an Exif segment holding one Orientation entry (1 to 8) when
// orientation is not 0.
inline QByteArray jpegBytes(QSize size, QColor colour, int orientation = 0) {
    const QByteArray jpeg = sample("JPEG", size, colour);
    if (orientation == 0)
        return jpeg;
    const QByteArray exif = QByteArray("\xff\xe1\0\x22"
                                       "Exif\0\0MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0",
                                       29) +
                            char(orientation) + QByteArray(6, 0);
    return jpeg.left(2) + exif + jpeg.mid(2);
}

// A cursor: an icon with resource type 2 and a hot spot at (1, 1).
inline QByteArray curBytes(QSize size, QColor colour) {
    QByteArray bytes = sample("ICO", size, colour);
    bytes[2] = 2;
    bytes[10] = 1, bytes[11] = 0, bytes[12] = 1, bytes[13] = 0;
    return bytes;
}

struct LittleEndian {
    QByteArray bytes;
    QDataStream out{&bytes, QIODevice::WriteOnly};
    LittleEndian() { out.setByteOrder(QDataStream::LittleEndian); }
    LittleEndian &u8(quint8 v) { return out << v, *this; }
    LittleEndian &u16(quint16 v) { return out << v, *this; }
    LittleEndian &u32(quint32 v) { return out << v, *this; }
    LittleEndian &raw(const QByteArray &b) {
        return out.writeRawData(b.constData(), int(b.size())), *this;
    }
};

inline quint32 colorRef(QColor c) {
    return c.red() | c.green() << 8 | c.blue() << 16;
}

// A GIF with one frame per colour (up to four), each shown for `delay`
// hundredths of a second.
inline QByteArray gifBytes(QSize size, const QList<QColor> &colours, int delay = 5) {
    LittleEndian w;
    w.raw("GIF89a").u16(size.width()).u16(size.height()).u8(0x91).u8(0).u8(0);
    for (int i = 0; i < 4; ++i) {
        const QColor c = colours.value(i, Qt::black);
        w.u8(c.red()).u8(c.green()).u8(c.blue());
    }
    for (int index = 0; index < colours.size(); ++index) {
        w.u8(0x21).u8(0xf9).u8(4).u8(4).u16(delay).u16(0);
        w.u8(0x2c).u32(0).u16(size.width()).u16(size.height()).u8(0).u8(2);
        // A clear code (4) before every pixel keeps every code 3 bits wide;
        // 5 ends the data.
        QByteArray data;
        quint32 acc = 0, bits = 0;
        auto put = [&](int code) {
            for (acc |= code << bits, bits += 3; bits >= 8; acc >>= 8, bits -= 8)
                data += char(acc);
        };
        for (int p = 0; p < size.width() * size.height(); ++p)
            put(4), put(index);
        put(5);
        if (bits > 0)
            data += char(acc);
        for (qsizetype at = 0; at < data.size(); at += 255)
            w.u8(quint8(data.mid(at, 255).size())).raw(data.mid(at, 255));
        w.u8(0);
    }
    return w.u8(0x3b).bytes;
}

// Metafiles holding one filled rectangle, sized to show at size pixels on a
// 96 dpi screen: an enhanced metafile (frame in hundredths of a millimetre,
// 108-byte header) and a placeable Windows metafile (1440 units an inch).
inline QByteArray emfBytes(QSize size, QColor colour) {
    const int width = size.width(), height = size.height();
    LittleEndian w;
    w.u32(1).u32(108).u32(0).u32(0).u32(width - 1).u32(height - 1).u32(0).u32(0);
    w.u32(qRound(width * 2540.0 / 96)).u32(qRound(height * 2540.0 / 96));
    w.u32(0x464D4520).u32(0x10000).u32(188).u32(5).u32(2).u32(0).u32(0).u32(0);
    w.u32(960).u32(960).u32(254).u32(254).u32(0).u32(0).u32(0).u32(254000).u32(254000);
    w.u32(39).u32(24).u32(1).u32(0).u32(colorRef(colour)).u32(0); // solid brush
    w.u32(37).u32(12).u32(1);                                     // selected
    w.u32(43).u32(24).u32(0).u32(0).u32(width).u32(height);       // rectangle
    w.u32(14).u32(20).u32(0).u32(16).u32(20);                     // end
    return w.bytes;
}

inline QByteArray wmfBytes(QSize size, QColor colour) {
    const quint16 right = size.width() * 15, bottom = size.height() * 15;
    LittleEndian w;
    w.u32(0x9AC6CDD7).u16(0).u32(0).u16(right).u16(bottom).u16(1440).u32(0);
    quint16 checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= quint8(w.bytes[i]) | quint8(w.bytes[i + 1]) << 8;
    w.u16(checksum).u16(1).u16(9).u16(0x0300).u32(40).u16(1).u32(7).u16(0);
    w.u32(5).u16(0x020B).u32(0);                              // window origin
    w.u32(5).u16(0x020C).u16(bottom).u16(right);              // window extent
    w.u32(7).u16(0x02FC).u16(0).u32(colorRef(colour)).u16(0); // solid brush
    w.u32(4).u16(0x012D).u16(0);                              // selected
    w.u32(7).u16(0x041B).u16(bottom).u16(right).u32(0);       // rectangle
    w.u32(3).u16(0);                                          // end
    return w.bytes;
}

} // namespace pomiv::test
