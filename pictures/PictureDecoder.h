#pragma once

#include "core/Errors.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>

#include <functional>

namespace pomiv {

// A decoded picture at the file's own size, or a part of it. For a picture
// with several frames (an animated GIF) the file's bytes are kept as well, so
// the frames can be played at their own delays; the image is then the first
// frame.
struct Picture {
    QImage image; // the whole picture, or the part of it whose top left is `at`
    QByteArray animation;
    QSize size; // the whole picture's size
    QPoint at;

    bool isNull() const { return image.isNull(); }
    bool isWhole() const { return !image.isNull() && image.size() == size; }
};

// The part of a picture of the given size (its orientation applied) that is
// wanted first; an empty rectangle for the whole picture.
using PartOf = std::function<QRect(QSize)>;

// Reads a picture file: jpg, bmp, dib (with or without a file header), gif,
// ico and cur through Qt's readers, the reader chosen from the content and not
// from the name; emf and wmf converted in a helper process (pomiv-metafile)
// and drawn at the metafile's own size. A JPEG's orientation tag is applied.
// A picture that declares more pixels than the budget is not decoded. With
// `part`, a reader that can decode a part alone (JPEG's) decodes only that
// part; the others decode the whole picture.
// Ok; InvalidPicture when the content is no picture read here (a metafile
// the helper could not convert too); FileNotFound when there is no file at
// the path; GeneralFailure when it cannot be read.
Error decodePicture(const QString &path, Picture *picture, const PartOf &part = {});

// The metafile helper: pomiv-metafile beside the program, else in the
// installed helper folder, unless another is named (tests and benchmarks run
// from elsewhere).
QString metafileHelper();
void setMetafileHelper(const QString &path);

} // namespace pomiv
