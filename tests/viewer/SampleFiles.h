#pragma once

#include <QBuffer>
#include <QImage>
#include <QList>
#include <QRandomGenerator>

// Small picture files of every type the viewer shows, made here for the tests.
namespace pomiv::test {

// A picture through Qt's writers ("BMP", "ICO", "PNG", "JPEG").
inline QByteArray imageBytes(QImage image, const char *format = "BMP", QColor colour = {}) {
    if (colour.isValid())
        image.fill(colour);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 90);
    return buffer.data();
}

inline QByteArray imageBytes(QSize size, QColor colour, const char *format = "BMP") {
    return imageBytes(QImage(size, QImage::Format_RGB32), format, colour);
}

// A JPEG, with an Exif Orientation (1 to 8) unless orientation is 0.
inline QByteArray jpegBytes(const QImage &image, int orientation = 0, QColor colour = {}) {
    QByteArray jpeg = imageBytes(image, "JPEG", colour);
    QByteArray exif = QByteArray::fromHex("ffe10022457869660000" // APP1 "Exif"
                                          "4d4d002a000000080001" // big-endian, one entry
                                          "01120003000000010000000000000000"); // Orientation
    exif[29] = char(orientation);
    return orientation == 0 ? jpeg : jpeg.insert(2, exif);
}

// A cursor: an icon with resource type 2 and a hot spot at (1, 1).
inline QByteArray curBytes(QSize size, QColor colour) {
    return imageBytes(size, colour, "ICO").replace(2, 1, "\2").replace(10, 4, {"\1\0\1\0", 4});
}

// Appends values as little-endian numbers of `width` bytes.
inline void put(QByteArray &bytes, int width, std::initializer_list<qint64> values) {
    for (qint64 v : values)
        for (int i = 0; i < width; ++i)
            bytes += char(v >> 8 * i);
}

// A GIF of up to 340 pixels, one 50 ms frame per colour (up to four).
inline QByteArray gifBytes(QSize size, const QList<QColor> &colours) {
    const int w = size.width(), h = size.height();
    QByteArray gif("GIF89a");
    put(gif, 1, {w, 0, h, 0, 0x91, 0, 0});
    for (int i = 0; i < 4; ++i)
        put(gif, 1, {colours.value(i).red(), colours.value(i).green(), colours.value(i).blue()});
    for (int index = 0; index < colours.size(); ++index) {
        put(gif, 1, {0x21, 0xf9, 4, 4, 5, 0, 0, 0, 0x2c, 0, 0, 0, 0, w, 0, h, 0, 0, 2});
        // A clear code (4) before every pixel keeps codes 3 bits wide; 5 ends.
        QByteArray data;
        quint32 acc = 0, bits = 0;
        auto code = [&](int c) {
            for (acc |= c << bits, bits += 3; bits >= 8; acc >>= 8, bits -= 8)
                data += char(acc);
        };
        for (int p = 0; p < w * h; ++p)
            code(4), code(index);
        code(5);
        data += char(acc);
        gif += char(data.size()) + data + char(0); // one block: up to 340 pixels
    }
    return gif + char(0x3b);
}

// Metafiles holding one filled rectangle, sized to show at size pixels on a
// 96 dpi screen: an enhanced metafile (frame in hundredths of a millimetre)
// and a placeable Windows metafile (1440 units an inch).
inline QByteArray emfBytes(QSize size, QColor colour) {
    const int w = size.width(), h = size.height();
    QByteArray emf;
    put(emf, 4, {1,          108,     0,   0, w - 1, h - 1,  0,     0, w * 2540 / 96, h * 2540 / 96,
                 0x464D4520, 0x10000, 188, 5, 2,     0,      0,     0, 960,           960,
                 254,        254,     0,   0, 0,     254000, 254000}); // header, 108 bytes
    put(emf, 4,
        {39, 24, 1, 0, colour.red() | colour.green() << 8 | colour.blue() << 16, 0}); // solid brush
    put(emf, 4, {37, 12, 1, 43, 24, 0, 0, w, h}); // selected; rectangle
    put(emf, 4, {14, 20, 0, 16, 20});             // end
    return emf;
}

inline QByteArray wmfBytes(QSize size, QColor colour) {
    const int right = size.width() * 15, bottom = size.height() * 15;
    QByteArray wmf;
    put(wmf, 2, {0xCDD7, 0x9AC6, 0, 0, 0, right, bottom, 1440, 0, 0});
    int checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= quint8(wmf[i]) | quint8(wmf[i + 1]) << 8;
    put(wmf, 2, {checksum, 1, 9, 0x0300, 40, 0, 1, 7, 0, 0});
    put(wmf, 2, {5, 0, 0x020B, 0, 0, 5, 0, 0x020C, bottom, right}); // window origin, extent
    put(wmf, 2, {7, 0, 0x02FC, 0, colour.red() | colour.green() << 8, colour.blue(), 0}); // brush
    put(wmf, 2, {4, 0, 0x012D, 0, 7, 0, 0x041B, bottom, right, 0, 0}); // selected; rectangle
    put(wmf, 2, {3, 0, 0});                                            // end
    return wmf;
}

// An enhanced metafile writing "日本語" in "MS Gothic" with one ExtTextOutW
// record, its options as given (0x10: glyph indices).
inline QByteArray emfTextBytes(int options) {
    QByteArray emf = emfBytes({40, 20}, Qt::white).chopped(20 + 12 + 24);
    put(emf, 4, {82, 104, 2, -16, 0, 0, 0, 400, 0x80000000, 0}); // font, Shift_JIS
    put(emf, 2, {'M', 'S', ' ', 'G', 'o', 't', 'h', 'i', 'c'});
    emf += QByteArray(2 * (32 - 9), '\0');
    put(emf, 4, {37, 12, 2});
    put(emf, 4, {84, 96, 0, 0, 40, 20, 1, 0, 0, 2, 2, 3, 76, options, 0, 0, 40, 20, 84});
    put(emf, 2, {0x65e5, 0x672c, 0x8a9e, 0});
    put(emf, 4, {8, 8, 8});
    put(emf, 4, {14, 20, 0, 16, 20});
    QByteArray counts; // bytes, records, handles
    put(counts, 4, {emf.size(), 6, 3});
    return emf.replace(48, 12, counts);
}

// A placeable metafile whose one StretchDIB record carries a bitmap header
// of biSize bytes claiming width x height pixels, 2 KB long in all.
inline QByteArray wmfBitmapBytes(int biSize, int width, int height) {
    QByteArray wmf = wmfBytes({26, 20}, Qt::white).chopped(6);
    QByteArray dib;
    put(dib, 4, {biSize, width, height});
    put(dib, 2, {1, 1});
    put(dib, 4, {0, 0, 0, 0, 0, 0, 0xffffff, 0});
    dib += QByteArray(2048 - wmf.size() - 6 - 28 - dib.size(), '\x55');
    const int words = (28 + dib.size()) / 2;
    put(wmf, 2, {words & 0xffff, words >> 16, 0x0F43, 0x0020, 0x00CC, 0, 1, 1, 0, 0, 20, 26, 0, 0});
    wmf += dib;
    put(wmf, 2, {3, 0, 0});
    QByteArray sizes; // the file's words, one object, the largest record's words
    put(sizes, 2, {(wmf.size() - 22) / 2 & 0xffff, (wmf.size() - 22) / 2 >> 16, 1, words, 0});
    return wmf.replace(22 + 6, 10, sizes);
}

// count damaged copies, the same for a seed: bytes set at random or to
// extremes (mostly in the headers), pieces cut off, doubled or dropped.
inline QList<QByteArray> mutants(const QByteArray &file, int count, quint32 seed) {
    static const qint64 extremes[] = {0, 1, 0x7f, 0xff, 0x7fff, 0xffff, 0x7fffffff, 0xffffffff};
    QRandomGenerator random(seed);
    QList<QByteArray> out;
    while (out.size() < count) {
        QByteArray b = file, field;
        for (int edits = 1 + random.bounded(3); edits > 0 && !b.isEmpty(); --edits) {
            const int at =
                random.bounded(random.bounded(2) ? qMin(int(b.size()), 128) : int(b.size()));
            put(field = {}, 1 << random.bounded(3), {extremes[random.bounded(8)]});
            const int how = random.bounded(5);
            if (how == 0)
                b[at] = char(random.bounded(256));
            else if (how == 1)
                b.replace(at, field.size(), field);
            else if (how == 2)
                b.truncate(at);
            else
                how == 3 ? b.insert(at, b.mid(random.bounded(int(b.size())), random.bounded(64)))
                         : b.remove(at, random.bounded(16));
        }
        out.append(b);
    }
    return out;
}

inline QList<std::pair<const char *, QByteArray>> sampleOfEachType() {
    const QColor red(220, 20, 20), green(20, 200, 40), blue(30, 40, 210);
    const QImage photo(40, 30, QImage::Format_RGB32);
    return {
        {"jpg", jpegBytes(photo, 6, red)},          {"bmp", imageBytes({21, 13}, green)},
        {"dib", imageBytes({19, 7}, blue).mid(14)}, {"gif", gifBytes({6, 4}, {red, green, blue})},
        {"ico", imageBytes({16, 16}, red, "ICO")},  {"cur", curBytes({16, 16}, blue)},
        {"emf", emfBytes({30, 20}, green)},         {"emf", emfTextBytes(0x10)},
        {"wmf", wmfBitmapBytes(40, 4, 4)}};
}

// Files that once froze the program (bitmap headers of 0, 1 or 4 bytes) or
// claim a picture of a gigabyte or more in a few bytes: none is a picture.
inline QList<QByteArray> hostileFiles() {
    const QByteArray jpeg = imageBytes({40, 30}, Qt::red, "JPEG");
    return {
        wmfBitmapBytes(0, 4, 4),
        wmfBitmapBytes(1, 4, 4),
        wmfBitmapBytes(4, 4, 4),
        wmfBitmapBytes(40, 655359, 1),
        emfBytes({400, 634399}, Qt::red),
        imageBytes({1, 1}, Qt::red).mid(14).replace(4, 8, QByteArray::fromHex("0d000000f9ffff00")),
        imageBytes({4, 4}, Qt::red).replace(18, 8, QByteArray::fromHex("409c0000409c0000")),
        gifBytes({4, 4}, {Qt::red}).replace(6, 4, "\xff\xff\xff\xff"),
        QByteArray(jpeg).replace(jpeg.indexOf("\xff\xc0") + 5, 4, "\xea\x60\xea\x60")};
}

} // namespace pomiv::test
