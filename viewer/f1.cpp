#include "viewer/f1.h"

#include "app/pmvmin.h"
#include "controls/FileList.h"
#include "controls/MessageBox.h"
#include "controls/Ui.h"
#include "core/Errors.h"
#include "core/FileService.h"
#include "core/Paths.h"
#include "settings/Shared.h"
#include "viewer/PictureBox.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QShowEvent>

#include <cmath>
#include <utility>

namespace pomiv {

namespace {

const QColor background(255, 192, 255);

// The window's own unit: 17160 across and 11420.55 down fill the inner area
// of 15240 x 10830 twips it opens with.
constexpr double twipsPerUnitX = 15240.0 / 17160.0;
constexpr double twipsPerUnitY = 10830.0 / 11420.55;

QString titleFor(const QString &name) {
    return name + QString(14, QLatin1Char(' ')) +
           jp("「ダブルクリック、→、↓」次の画像\u3000「ＤＥＬ」画像の削除\u3000"
              "「右クリック」この画面を閉じる\u3000「←、↑」前の画像");
}

// The picture-left rule for a window of the given outer width, in pixels:
// (outer width in twips - picture width in window units) / 2.
int pictureLeft(int outerWidth, int pictureWidth) {
    const double left = (outerWidth * 15.0 - pictureWidth * 15.0 / twipsPerUnitX) / 2;
    return int(std::lround(left * twipsPerUnitX / 15.0));
}

// The arrow keys step when let go: left and up back, right and down on.
int stepOf(int key) {
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        return -1;
    case Qt::Key_Right:
    case Qt::Key_Down:
        return 1;
    default:
        return 0;
    }
}

} // namespace

f1::f1(pmvmin *main) : m_main(main) {
    setObjectName(QStringLiteral("f1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(jp("画面の真中をダブルクリックしてください"));

    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setBackground(client, background);
    client->setFocusPolicy(Qt::ClickFocus);
    setCentralWidget(client);

    g = make<PictureBox>(client, QStringLiteral("g"), 0, 0, 6000, 7620);
    setBackground(g, background);
    g->setFocusPolicy(Qt::StrongFocus);

    d1 = make<FileList>(client, QStringLiteral("d1"), 0, 0, 1575, 0);
    d1->setSelectionMode(QAbstractItemView::SingleSelection);
    d1->hide();
    setTabOrder(g, d1);

    m1 = menuBar()->addAction(jp("ファイルリストの表示"));
    m1->setObjectName(QStringLiteral("m1"));
    m2 = menuBar()->addAction(jp("ファイルリストを隠す"));
    m2->setObjectName(QStringLiteral("m2"));
    connect(m1, &QAction::triggered, this, &f1::m1_Click);
    connect(m2, &QAction::triggered, this, &f1::m2_Click);

    // A picture shown in part is completed in the background.
    m_cache.onWhole(
        [this] { QMetaObject::invokeMethod(this, &f1::pictureCompleted, Qt::QueuedConnection); });

    for (QObject *o : {static_cast<QObject *>(client), static_cast<QObject *>(g),
                       static_cast<QObject *>(d1), static_cast<QObject *>(d1->viewport())})
        o->installEventFilter(this);

    // Inner area of 15240 x 10830 twips, centred on the screen.
    resize(px(15240), px(10830) + menuBar()->sizeHint().height());
    centreOnScreen(this);
    g->setFocus();
}

f1::~f1() {
    // Nothing may call back into a window being taken apart.
    m_cache.stop();
}

QString f1::fullPath(int index) const {
    return joinPath(d1->path(), d1->name(index));
}

QStringList f1::aheadOf(int index) const {
    const int count = d1->count();
    if (count == 0 || index < 0)
        return {};
    return {fullPath((index + 1) % count), fullPath((index + count - 1) % count)};
}

void f1::placePicture() {
    g->move(pictureLeft(frameGeometry().width(), g->width()), 0);
}

PartOf f1::seenPart() const {
    return [outer = frameGeometry().width(), inner = client->size()](QSize picture) {
        return QRect(QPoint(-pictureLeft(outer, picture.width()), 0), inner);
    };
}

void f1::pictureCompleted() {
    Picture picture;
    const Error err = m_cache.whole(&picture);
    if (err == Ok)
        g->completePicture(picture);
    if (err != InvalidPicture || m_shownPath.isEmpty())
        return;
    // Refused after all, as if it had been refused at once: said so, and the
    // picture before it comes back where it was.
    const Before before = std::exchange(m_before, {});
    const QString refused = std::exchange(m_shownPath, QString());
    message(this, displayText(m_shownName) + jp("は対応している画像ファイルではありません。"));
    m_shownPath = before.path;
    m_shownName = before.name;
    if (!before.known)
        return;
    picture = Picture();
    const QStringList ahead = aheadOf(ViewIndex) << refused;
    if (before.path.isEmpty() || m_cache.take(before.path, ahead, seenPart(), &picture) != Ok) {
        picture = Picture();
        picture.size = before.place.size();
    }
    g->setPicture(picture);
    g->move(before.place.topLeft());
    m_cache.resume();
}

void f1::Form_Load() {
    placePicture();
    if (m_main) {
        // A folder that has gone since the main window read it lists
        // nothing, rather than whatever folder the list held before.
        const bool found = d1->setPath(m_main->d3->path()) == Ok;
        d1->setPattern(found ? m_main->sr->currentText() : QString());
    }
    Form_Resize();
    m1->setVisible(true);
    m2->setVisible(false);
    // A ViewIndex beyond the list (files deleted meanwhile) shows the last
    // file, one below it the first.
    if (d1->count() > 0)
        showAt(std::clamp(ViewIndex, 0, d1->count() - 1));
}

void f1::Form_Resize() {
    const double outerHeight = frameGeometry().height() * 15.0;
    const double height = (outerHeight - 200) * twipsPerUnitY / 15.0;
    d1->setGeometry(0, 0, px(1575), std::max(0, int(std::lround(height))));
}

void f1::showAt(int index) {
    d1->setCurrentIndex(index);
    ViewIndex = index;
    img_s();
}

void f1::img_s() {
    if (ViewIndex < 0 || ViewIndex >= d1->count())
        return;
    const QString name = d1->name(ViewIndex);
    const QString path = fullPath(ViewIndex);
    Picture picture;
    const Error err = m_cache.take(path, aheadOf(ViewIndex), seenPart(), &picture);
    // The next pictures are decoded, and the rest of this one, once it is on
    // screen: nothing competes with the first screen.
    const auto resume = qScopeGuard([this] { m_cache.resume(); });
    if (err == InvalidPicture) {
        message(this, displayText(name) + jp("は対応している画像ファイルではありません。"));
        setWindowTitle(titleFor(displayText(name)));
        return;
    }
    if (err != Ok)
        return;
    const QImage previous = g->image();
    if (picture.isWhole())
        m_before = {};
    else
        m_before = {true, m_shownPath, m_shownName, g->geometry()};
    m_shownPath = path;
    m_shownName = name;
    g->setPicture(picture);
    m_cache.letGo(previous);
    setWindowTitle(titleFor(displayText(name)));
    placePicture();
    g->repaint();
}

void f1::step(int by) {
    stepTo(by, d1->currentIndex() + by);
}

void f1::stepTo(int by, int to) {
    const int count = d1->count();
    if (count == 0)
        return;
    const bool round = ViewIndex + by < 0 || ViewIndex + by >= count || to < 0 || to >= count;
    showAt(round ? (by > 0 ? 0 : count - 1) : to);
}

void f1::deleteShown() {
    // The file whose picture and name are on screen, even when the list's
    // highlight was moved by a typed letter since.
    if (ViewIndex < 0 || ViewIndex >= d1->count())
        return;
    const QString name = d1->name(ViewIndex);
    const QString path = fullPath(ViewIndex);
    FileService files;
    Error err = files.getFile(path);
    if (err == Ok)
        err = files.deleteFile(path, true);
    if (err != Ok) {
        message(this, displayText(name) + QLatin1Char(' ') + errorText(err));
        return;
    }
    if (m_main)
        m_main->d3->refresh();
    d1->refresh();
    if (d1->count() == 0) {
        close();
        return;
    }
    // The file that followed the deleted one, or the new last.
    showAt(std::min(ViewIndex, d1->count() - 1));
}

void f1::m1_Click() {
    m1->setVisible(false);
    m2->setVisible(true);
    d1->show();
}

void f1::m2_Click() {
    m1->setVisible(true);
    m2->setVisible(false);
    d1->hide();
}

void f1::g_MouseDown(double y) {
    m_pressY = y;
}

void f1::g_MouseMove(Qt::MouseButtons buttons, double y) {
    if (buttons != Qt::LeftButton)
        return;
    g->move(g->x(), g->y() + int(std::lround(y - m_pressY)));
}

void f1::Form_KeyUp(int key, bool onList) {
    if (key == Qt::Key_Delete) {
        deleteShown();
    } else if (const int by = stepOf(key); by && onList) {
        // The list has already moved its highlight (stopping at either end)
        // while the key was down: the step goes to it.
        stepTo(by, d1->currentIndex());
    } else if (by) {
        step(by);
    }
}

void f1::d1_MouseUp(Qt::MouseButton button) {
    if (button == Qt::RightButton) {
        close();
    } else if (button == Qt::LeftButton && d1->currentIndex() >= 0) {
        showAt(d1->currentIndex());
    }
}

bool f1::eventFilter(QObject *watched, QEvent *event) {
    const bool onList = watched == d1 || watched == d1->viewport();
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (watched == g)
            g_MouseDown(static_cast<QMouseEvent *>(event)->position().y());
        break;
    case QEvent::MouseMove:
        if (watched == g) {
            const auto *e = static_cast<QMouseEvent *>(event);
            g_MouseMove(e->buttons(), e->position().y());
        }
        break;
    case QEvent::MouseButtonDblClick:
        if ((watched == g || watched == client) &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            step(1);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease: {
        const Qt::MouseButton button = static_cast<QMouseEvent *>(event)->button();
        if (watched == d1->viewport()) {
            d1_MouseUp(button);
        } else if ((watched == g || watched == client) && button == Qt::RightButton) {
            close();
            return true;
        }
        break;
    }
    case QEvent::KeyPress:
        if (onList) {
            // Left and right move the highlight as up and down do.
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Left || key == Qt::Key_Right) {
                const int to = d1->currentIndex() + (key == Qt::Key_Left ? -1 : 1);
                if (to >= 0 && to < d1->count())
                    d1->setCurrentIndex(to);
                return true;
            }
        }
        break;
    case QEvent::KeyRelease:
        if (onList) {
            const auto *e = static_cast<QKeyEvent *>(event);
            if (!e->isAutoRepeat())
                Form_KeyUp(e->key(), true);
            return true;
        }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void f1::keyReleaseEvent(QKeyEvent *event) {
    // Releases on g, the inner area and the window itself arrive here; a held
    // key steps once, when it is let go.
    if (!event->isAutoRepeat())
        Form_KeyUp(event->key());
}

void f1::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    // Opening, once: now the window's frame is known, and with it the outer
    // width that places the picture.
    if (!m_opened) {
        m_opened = true;
        Form_Load();
    }
}

void f1::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

} // namespace pomiv
