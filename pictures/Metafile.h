#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

// What the program itself reads of a metafile, before any converter sees it,
// and the converting helper's answer. No converter library is used here: they
// run only in the helper process.
namespace pomiv::metafile {

// The most pixels a decoded picture may have: a 16384 x 8192 panorama, 512 MB
// at four bytes a pixel. A file declaring more is refused before it is
// decoded, whatever its type.
inline constexpr qint64 largestPicturePixels = 16384LL * 8192;

// Whether a size is a picture that fits within the budget.
bool withinBudget(qint64 width, qint64 height);

// The longest metafile read.
inline constexpr qint64 largestMetafileBytes = 64 * 1024 * 1024;

bool isEmf(const QByteArray &head);
bool isWmf(const QByteArray &head);

// An enhanced metafile's size at 96 dots per inch: its frame, or its device
// bounds when the frame is empty; empty when neither gives a size.
QSize emfSize(const QByteArray &bytes);

// A placeable Windows metafile's size at 96 dots per inch; empty for a plain
// one, whose size only the converter finds.
QSize wmfPlaceableSize(const QByteArray &bytes);

// Whether a Windows metafile's records lie within the file, end with the end
// record, and every bitmap in them has a sound header, declares a size within
// the budget and, uncompressed, holds its pixels. The converter trusts all of
// it.
bool wmfRecordsSound(const QByteArray &bytes);

// The helper's answer: "PMVI", width and height (little-endian 32 bits), then
// the premultiplied ARGB pixels, row by row.
inline constexpr char replyTag[] = "PMVI";
inline constexpr int replyHeaderBytes = 12;
QByteArray replyHeader(QSize size);
// The size an answer's header declares; empty when it is no sound header or
// the size is beyond the budget.
QSize sizeOfReply(const QByteArray &header);

} // namespace pomiv::metafile
