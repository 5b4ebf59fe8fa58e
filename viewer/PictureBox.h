#pragma once

#include "pictures/PictureDecoder.h"

#include <QImage>
#include <QWidget>

class QBuffer;
class QMovie;

namespace pomiv {

// The viewer's picture area: shows one picture at its own size (the widget
// takes the picture's size) and plays the frames of an animated one at their
// own delays. Transparent parts show the area's background colour, and so do
// the parts of a picture not decoded yet.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);

    void setPicture(const Picture &picture);
    // The whole of the picture shown in part, once it is decoded; a picture
    // of another size is not the one shown and is ignored.
    void completePicture(const Picture &whole);
    // The frame on screen now, or the part of it decoded so far.
    const QImage &image() const { return m_frame; }
    bool isWhole() const { return m_frame.size() == size(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void stopAnimation();

    QImage m_frame;
    QPoint m_at; // where the frame lies in the picture
    QBuffer *m_buffer = nullptr;
    QMovie *m_movie = nullptr;
};

} // namespace pomiv
