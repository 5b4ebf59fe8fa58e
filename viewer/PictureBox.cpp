#include "viewer/PictureBox.h"

#include <QBuffer>
#include <QMovie>
#include <QPaintEvent>
#include <QPainter>

namespace pomiv {

PictureBox::PictureBox(QWidget *parent) : QWidget(parent) {
    // Every pixel is painted (background, then picture), so Qt need not clear.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::stopAnimation() {
    delete m_movie;
    m_movie = nullptr;
    delete m_buffer;
    m_buffer = nullptr;
}

void PictureBox::setPicture(const Picture &picture) {
    stopAnimation();
    m_frame = picture.image;
    m_at = picture.at;
    resize(picture.size);
    if (!picture.animation.isEmpty()) {
        m_buffer = new QBuffer(this);
        m_buffer->setData(picture.animation);
        m_buffer->open(QIODevice::ReadOnly);
        m_movie = new QMovie(m_buffer, QByteArray(), this);
        m_movie->setCacheMode(QMovie::CacheNone);
        connect(m_movie, &QMovie::frameChanged, this, [this] {
            const QImage frame = m_movie->currentImage();
            if (!frame.isNull() && frame.size() == size()) {
                m_frame = frame;
                update();
            }
        });
        m_movie->start();
    }
    update();
}

void PictureBox::completePicture(const Picture &whole) {
    if (isWhole() || !whole.isWhole() || whole.size != size())
        return;
    m_frame = whole.image;
    m_at = QPoint();
    update();
}

void PictureBox::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, palette().color(QPalette::Window));
    const QRect drawn = area & QRect(m_at, m_frame.size());
    if (!drawn.isEmpty())
        painter.drawImage(drawn.topLeft(), m_frame, drawn.translated(-m_at));
}

} // namespace pomiv
