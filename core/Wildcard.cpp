#include "core/Wildcard.h"

namespace pomiv {

Wildcard::Wildcard(const QString &patterns) {
    const QStringList parts = patterns.split(QLatin1Char(';'));
    for (const QString &part : parts) {
        const QString p = part.trimmed().toCaseFolded();
        if (!p.isEmpty())
            m_patterns.append(p);
    }
}

// Iterative glob match with one back-track point for the last "*": linear
// enough for file names and never recursive.
static bool globMatch(const QString &pattern, const QString &name) {
    qsizetype p = 0, n = 0, starP = -1, starN = 0;
    const qsizetype plen = pattern.size(), nlen = name.size();
    while (n < nlen) {
        if (p < plen && pattern[p] == QLatin1Char('*')) {
            starP = p++;
            starN = n;
        } else if (p < plen &&
                   (pattern[p] == QLatin1Char('?') || pattern[p] == name[n].toCaseFolded())) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < plen && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == plen;
}

bool Wildcard::matches(const QString &name) const {
    for (const QString &pattern : m_patterns) {
        if (globMatch(pattern, name))
            return true;
        // As on Windows, a trailing ".*" also takes names without an
        // extension: "*.*" lists every file.
        if (pattern.endsWith(QLatin1String(".*")) && !name.contains(QLatin1Char('.')) &&
            globMatch(pattern.chopped(2), name))
            return true;
    }
    return false;
}

} // namespace pomiv
