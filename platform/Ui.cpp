#include "platform/Ui.h"

#include <QApplication>
#include <QPalette>
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

} // namespace pomiv
