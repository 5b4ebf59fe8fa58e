#include "settings/rules/NumberedNames.h"

namespace pomiv {

QString extensionPart(const QString &name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return QString();
    return name.mid(dot);
}

std::optional<qint64> parseRunningNumber(const QString &text) {
    // Up to fifteen digits every number, and the ones after it, is exact as
    // a double too.
    constexpr qsizetype maxDigits = 15;
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    }
    const qsizetype digits = t.size() - i;
    if (digits < 1 || digits > maxDigits)
        return std::nullopt;
    qint64 value = 0;
    for (; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
    }
    return negative ? -value : value;
}

QString numberText(qint64 number) {
    return QString::number(number);
}

QString numberedName(const QString &prefix, qint64 number, const QString &sourceName) {
    return prefix + numberText(number) + extensionPart(sourceName);
}

} // namespace pomiv
