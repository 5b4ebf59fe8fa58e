#pragma once

#include <QString>

namespace pomiv {

// The program's Japanese texts are written in UTF-8 in the source.
inline QString jp(const char *utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace pomiv
