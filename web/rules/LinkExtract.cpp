#include "web/rules/LinkExtract.h"

namespace pomiv {

static bool isHttpAt(const char16_t *p) {
    // "http", "Http" or "HTTP"; no other mixture of cases.
    return (p[0] == u'h' && p[1] == u't' && p[2] == u't' && p[3] == u'p') ||
           (p[0] == u'H' && p[1] == u't' && p[2] == u't' && p[3] == u'p') ||
           (p[0] == u'H' && p[1] == u'T' && p[2] == u'T' && p[3] == u'P');
}

static bool isHrefAt(const char16_t *p) {
    return (p[0] == u'h' && p[1] == u'r' && p[2] == u'e' && p[3] == u'f') ||
           (p[0] == u'H' && p[1] == u'r' && p[2] == u'e' && p[3] == u'f') ||
           (p[0] == u'H' && p[1] == u'R' && p[2] == u'E' && p[3] == u'F');
}

bool endsWithJpg(QStringView text) {
    return text.endsWith(u"jpg");
}

QString embeddedAddressCut(const QString &address) {
    const auto *p = reinterpret_cast<const char16_t *>(address.constData());
    const qsizetype n = address.size();
    // Positions count from the fourth character, so the address's own
    // leading "http" is passed over.
    for (qsizetype m = 3; m + 4 <= n; ++m) {
        if (isHttpAt(p + m))
            return address.mid(m);
    }
    return address;
}

QString baseUrlOf(const QString &address, const QString &currentBase) {
    const qsizetype slash = address.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return currentBase;
    return address.left(slash + 1);
}

namespace {

// Joins relative links to a base URL that the links themselves may cut.
struct Joiner {
    QString base;
    QString prefix; // kept from one relative link to the next

    QString join(QStringView link) {
        // The prefix runs to the first "/" at the third character or later.
        const qsizetype slash = link.size() > 2 ? link.indexOf(u'/', 2) : -1;
        if (slash >= 0)
            prefix = link.left(slash + 1).toString();
        // A prefix that begins with "/" cuts the base where it first occurs,
        // keeping that "/"; any other prefix leaves the base as it is, as a
        // browser resolves such a link.
        if (prefix.startsWith(QLatin1Char('/'))) {
            const qsizetype at = base.indexOf(prefix);
            if (at >= 0)
                base.truncate(at + 1);
        }
        if (base.endsWith(QLatin1Char('/')) && link.startsWith(u'/'))
            link = link.mid(1);
        QString joined;
        joined.reserve(base.size() + link.size());
        joined.append(base);
        joined.append(link);
        return joined;
    }
};

} // namespace

LinkScan extractLinks(QStringView page, const QString &baseUrl) {
    LinkScan scan;
    Joiner joiner{baseUrl, QString()};
    const auto *p = reinterpret_cast<const char16_t *>(page.data());
    const qsizetype n = page.size();
    bool marker = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        if ((c == u'h' || c == u'H') && i + 4 <= n && isHrefAt(p + i))
            marker = true;
        if (!marker || c != u'"')
            continue;
        qsizetype end = i + 1;
        while (end < n && p[end] != u'"')
            ++end;
        const QStringView value = page.mid(i + 1, end - i - 1);
        marker = false;
        // The value is scanned again from i + 1: a marker inside it counts.
        if (!endsWithJpg(value))
            continue;
        if (value.size() >= 4 && isHttpAt(reinterpret_cast<const char16_t *>(value.data())))
            scan.links.append(embeddedAddressCut(value.toString()));
        else
            scan.links.append(joiner.join(value));
    }
    scan.baseUrl = joiner.base;
    return scan;
}

} // namespace pomiv
