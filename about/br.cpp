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

br::br(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("br"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(jp("ﾊﾞｰｼﾞｮﾝ情報"));
    // No icon of its own: not the program's either.
    setWindowIcon(QIcon());
    setBackground(this, dialogColour);

    Image1 = make<QLabel>(this, QStringLiteral("Image1"), 840, 120, 4020, 1320);
    Image1->setPixmap(bannerPicture());
    Image1->setScaledContents(true);

    lb = makeCaptioned<QLabel>(this, QStringLiteral("lb"), "ポミブ", 960, 1560, 3885, 480);
    lb->setFont(designFont(jp(fontMincho), 18, true));

    lblVersion = makeCaptioned<QLabel>(this, QStringLiteral("lblVersion"), "ﾊﾞｰｼﾞｮﾝ：2.00", 960,
                                       2040, 3885, 225);
    lblVersion->setFont(designFont(jp(fontPMincho), 12, true));

    for (QLabel *text : {lb, lblVersion}) {
        text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        text->setAutoFillBackground(false);
    }

    // A sunken box whose inside is exactly the icon's size.
    picIcon = make<QLabel>(this, QStringLiteral("picIcon"), 840, 1560, 540, 540);
    picIcon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picIcon->setLineWidth(2);
    picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picIcon->setPixmap(programIconPicture());

    cmdOK = makeCaptioned<QPushButton>(this, QStringLiteral("cmdOK"), "OK", 4680, 1800, 900, 345);
    cmdOK->setToolTip(jp("バージョン情報を閉じます"));
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
