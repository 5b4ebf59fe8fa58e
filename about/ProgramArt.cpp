#include "about/ProgramArt.h"

// The resources live in a static library: nothing would pull them into the
// program unless they are registered by name.
static void registerArt() {
    static const bool done = [] {
        Q_INIT_RESOURCE(about);
        return true;
    }();
    (void)done;
}

namespace pomiv {

QPixmap bannerPicture() {
    registerArt();
    return QPixmap(QStringLiteral(":/about/banner.jpg"));
}

QPixmap programIconPicture() {
    registerArt();
    return QPixmap(QStringLiteral(":/about/icon.png"));
}

QIcon programIcon() {
    return QIcon(programIconPicture());
}

} // namespace pomiv
