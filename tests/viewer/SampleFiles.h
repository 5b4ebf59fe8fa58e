#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QSize>

// Small picture files of every type the viewer shows, made here for the
// tests so that no sample comes from elsewhere.
namespace pomiv::test {

// Qt's own writers.
QByteArray bmpBytes(QSize size, QColor colour);
QByteArray icoBytes(QSize size, QColor colour);
QByteArray pngBytes(QSize size, QColor colour);
// A JPEG; with an orientation tag (1 to 8) when orientation is not 0.
QByteArray jpegBytes(QSize size, QColor colour, int orientation = 0);

// A bitmap without its 14-byte file header (a packed DIB).
QByteArray packedDibBytes(QSize size, QColor colour);

// A cursor: an icon with type 2 and a hot spot.
QByteArray curBytes(QSize size, QColor colour);

// A GIF with one frame per colour, each shown for its delay in
// hundredths of a second.
struct GifFrame {
    QColor colour;
    int delay = 10;
};
QByteArray gifBytes(QSize size, const QList<GifFrame> &frames);

// Metafiles holding one filled rectangle, sized to show at size pixels on
// a 96 dpi screen: an enhanced metafile (frame in hundredths of a
// millimetre) and a placeable Windows metafile (1440 units an inch).
QByteArray emfBytes(QSize size, QColor colour);
QByteArray wmfBytes(QSize size, QColor colour);

} // namespace pomiv::test
