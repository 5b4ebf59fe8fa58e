#include "about/br.h"

#include "about/ProgramArt.h"
#include "controls/Ui.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

namespace pomiv {

static const QColor dialogColour(255, 192, 128);

static constexpr int innerWidth = 5805;
static constexpr int outerHeight = 2820;
static constexpr int screenLeft = 2340;
static constexpr int screenTop = 1935;
// Title bar and borders of a fixed dialog, for the height before the window
// system reports the real frame.
static constexpr int assumedFramePixels = 30;

// Whether the window system draws a title bar and borders around windows.
static bool framed() {
    static const QStringList bare = {QStringLiteral("offscreen"), QStringLiteral("minimal"),
                                     QStringLiteral("vnc"), QStringLiteral("linuxfb"),
                                     QStringLiteral("eglfs")};
    return !bare.contains(QGuiApplication::platformName());
}

static QLabel *label(QWidget *parent, const char *name, int left, int top, int width, int height) {
    auto *w = new QLabel(parent);
    w->setObjectName(QString::fromLatin1(name));
    place(w, left, top, width, height);
    return w;
}

br::br(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("br"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QString::fromUtf8("ﾊﾞｰｼﾞｮﾝ情報"));
    // No icon of its own: not the program's either.
    setWindowIcon(QIcon());
    setBackground(this, dialogColour);

    Image1 = label(this, "Image1", 840, 120, 4020, 1320);
    Image1->setPixmap(bannerPicture());
    Image1->setScaledContents(true);

    lb = label(this, "lb", 960, 1560, 3885, 480);
    lb->setText(QString::fromUtf8("ポミブ"));
    lb->setFont(designFont(QString::fromUtf8(fontMincho), 18, true));

    lblVersion = label(this, "lblVersion", 960, 2040, 3885, 225);
    lblVersion->setText(QString::fromUtf8("ﾊﾞｰｼﾞｮﾝ：2.00"));
    lblVersion->setFont(designFont(QString::fromUtf8(fontPMincho), 12, true));

    for (QLabel *text : {lb, lblVersion}) {
        text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        text->setAutoFillBackground(false);
    }

    // A sunken box whose inside is exactly the icon's size.
    picIcon = label(this, "picIcon", 840, 1560, 540, 540);
    picIcon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picIcon->setLineWidth(2);
    picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picIcon->setPixmap(programIconPicture());

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    place(cmdOK, 4680, 1800, 900, 345);
    cmdOK->setToolTip(QString::fromUtf8("バージョン情報を閉じます"));
    cmdOK->setDefault(true);
    cmdOK->raise();
    connect(cmdOK, &QPushButton::clicked, this, &br::cmdOK_Click);
    cmdOK->setFocus();

    setFixedSize(px(innerWidth), px(outerHeight) - (framed() ? assumedFramePixels : 0));
    const QScreen *screen = QGuiApplication::primaryScreen();
    setGeometry(QRect((screen ? screen->geometry().topLeft() : QPoint()) +
                          QPoint(px(screenLeft), px(screenTop)),
                      size()));
}

void br::cmdOK_Click() {
    close();
}

void br::keyPressEvent(QKeyEvent *event) {
    // OK is the cancel button as well: Escape presses it rather than
    // dismissing the dialog behind its back.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void br::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    fitOuterHeight();
}

bool br::event(QEvent *event) {
    const bool handled = QDialog::event(event);
    // The frame arrives with the first placement by the window system.
    if (event->type() == QEvent::Move || event->type() == QEvent::WindowActivate)
        fitOuterHeight();
    return handled;
}

void br::fitOuterHeight() {
    const QWindow *window = windowHandle();
    if (!window)
        return;
    const QMargins frame = window->frameMargins();
    if (frame.isNull() && framed())
        return;
    const int inner = px(outerHeight) - frame.top() - frame.bottom();
    if (inner > 0 && inner != height()) {
        setFixedSize(px(innerWidth), inner);
        // The inner area keeps its place on the screen.
        const QScreen *screen = window->screen();
        setGeometry(QRect((screen ? screen->geometry().topLeft() : QPoint()) +
                              QPoint(px(screenLeft), px(screenTop)),
                          size()));
    }
}

} // namespace pomiv
