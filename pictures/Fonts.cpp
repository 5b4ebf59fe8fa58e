#include "pictures/Fonts.h"

#include "core/Text.h"

#include <QFont>
#include <QString>

namespace pomiv {

void installFontSubstitutions() {
    QFont::insertSubstitution(jp(fontPGothic), QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(jp(fontGothic), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(jp(fontMincho), QStringLiteral("IPAMincho"));
    QFont::insertSubstitution(jp(fontPMincho), QStringLiteral("IPAPMincho"));
}

} // namespace pomiv
