#include "pictures/Fonts.h"

#include <QFont>
#include <QString>

namespace pomiv {

void installFontSubstitutions() {
    QFont::insertSubstitution(QString::fromUtf8(fontPGothic), QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(QString::fromUtf8(fontGothic), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(QString::fromUtf8(fontMincho), QStringLiteral("IPAMincho"));
    QFont::insertSubstitution(QString::fromUtf8(fontPMincho), QStringLiteral("IPAPMincho"));
}

} // namespace pomiv
