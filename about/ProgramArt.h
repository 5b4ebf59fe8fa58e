#pragma once

#include <QIcon>
#include <QPixmap>

namespace pomiv {

// The program's own pictures, compiled into the program.

// The version dialog's banner, 500 x 200.
QPixmap bannerPicture();

// The program icon, 32 x 32; every window carries it.
QIcon programIcon();
QPixmap programIconPicture();

} // namespace pomiv
