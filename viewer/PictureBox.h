#pragma once

#include "platform/PictureDecoder.h"

#include <QImage>
#include <QWidget>

class QBuffer;
class QMovie;

namespace pomiv {

// The viewer's picture area: shows one picture at its own size (the widget
// takes the picture's size) and plays the frames of an animated one at their
// own delays. Transparent parts show the area's background colour.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);

    void setPicture(const Picture &picture);
    // The frame on screen now.
    const QImage &image() const { return m_frame; }
    bool isAnimated() const { return m_movie != nullptr; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void stopAnimation();

    QImage m_frame;
    QBuffer *m_buffer = nullptr;
    QMovie *m_movie = nullptr;
};

} // namespace pomiv
