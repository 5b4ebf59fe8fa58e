#pragma once

#include "core/Text.h"
#include "pictures/Fonts.h"

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QRect>
#include <QString>

class QWidget;

namespace pomiv {

// Window positions and sizes are laid out in twips: 15 twips make one pixel.
constexpr int px(int twips) {
    return (twips * 2 + 15) / 30;
}

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}

// Places a control at a position given in twips inside its parent.
void place(QWidget *w, int left, int top, int width, int height);

// A control of a window: made in its parent, named (tests find it by that
// name) and placed in twips.
template <class W>
W *make(QWidget *parent, const QString &name, int left, int top, int width, int height) {
    auto *w = new W(parent);
    w->setObjectName(name);
    place(w, left, top, width, height);
    return w;
}

// The same, with its caption.
template <class W>
W *makeCaptioned(QWidget *parent, const QString &name, const char *caption, int left, int top,
                 int width, int height) {
    W *w = make<W>(parent, name, left, top, width, height);
    w->setText(jp(caption));
    return w;
}

// The background colour of a widget.
void setBackground(QWidget *w, const QColor &colour);

// The background of the settings and version dialogs.
inline const QColor dialogColour(255, 192, 128);

// Places a window in the middle of the screen.
void centreOnScreen(QWidget *window);

// A font of the design by its Windows name; the names are mapped to the IPA
// fonts when the application starts.
QFont designFont(const QString &family, double pointSize, bool bold = false);

// The hourglass and the standard arrow, on one window.
void setBusyPointer(QWidget *w);
void setArrowPointer(QWidget *w);

// The hourglass for a step that holds the window thread: set on the window
// and over the whole program, and brought to the screen before the step
// starts (pending drawing is done, but no click or key is taken). The arrow
// comes back when the object goes.
class BusyPointer {
public:
    explicit BusyPointer(QWidget *window);
    ~BusyPointer();
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;

private:
    QPointer<QWidget> m_window;
};

// Runs work when the event loop next turns, once however often it is asked
// for before then; queued, a member of context, says whether a run waits.
// Nothing runs once context is gone.
template <class Work> void runOnNextTurn(QObject *context, bool &queued, Work work) {
    if (queued)
        return;
    queued = true;
    QMetaObject::invokeMethod(
        context,
        [&queued, work = std::move(work)] {
            queued = false;
            work();
        },
        Qt::QueuedConnection);
}

// One instance of a window: opens it, or brings the open one to the front.
template <class W, class Make> W *openOnce(QPointer<W> &slot, Make make) {
    if (!slot)
        slot = make();
    slot->show();
    slot->raise();
    slot->activateWindow();
    return slot.data();
}

} // namespace pomiv
