#include "controls/Ui.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWidget>

namespace pomiv {

void place(QWidget *w, int left, int top, int width, int height) {
    w->setGeometry(twipsRect(left, top, width, height));
}

void setBackground(QWidget *w, const QColor &colour) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

void centreOnScreen(QWidget *window) {
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), window->size());
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
}

QFont designFont(const QString &family, double pointSize, bool bold) {
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

void setBusyPointer(QWidget *w) {
    w->setCursor(Qt::WaitCursor);
}

void setArrowPointer(QWidget *w) {
    w->setCursor(Qt::ArrowCursor);
}

BusyPointer::BusyPointer(QWidget *window) : m_window(window) {
    setBusyPointer(window);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    // Some window systems (VNC, Wayland) take a new pointer only with the
    // next picture, or on a turn of the event loop, which the step would not
    // give them: the window is drawn once now, and the loop turns once
    // without taking a click or key.
    if (window->isVisible())
        window->window()->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

BusyPointer::~BusyPointer() {
    QGuiApplication::restoreOverrideCursor();
    if (m_window)
        setArrowPointer(m_window);
}

} // namespace pomiv
