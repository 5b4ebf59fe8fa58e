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
    resize(m_frame.size());
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

void PictureBox::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, palette().color(QPalette::Window));
    if (!m_frame.isNull())
        painter.drawImage(area.topLeft(), m_frame, area);
}

} // namespace pomiv
