#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace pomiv {

// What a scan of a page gives: the picture links in page order and the base
// URL as the relative links left it (a link beginning with "/" may cut it).
struct LinkScan {
    QStringList links;
    QString baseUrl;
};

// Scans a page's text for the double-quoted values that follow an "href",
// "Href" or "HREF" marker and keeps those ending in "jpg". Absolute values
// (beginning with "http" in one of those spellings) lose everything before an
// embedded address; relative ones are joined to the base URL. A plain
// character scan, not an HTML parser: a marker stays on until the next
// double quote, wherever that is.
LinkScan extractLinks(QStringView page, const QString &baseUrl);

// The address from its last embedded "http", "Http" or "HTTP" (looked for
// from the fourth character on), or the address itself.
QString embeddedAddressCut(const QString &address);

// The address up to and including its last "/"; the current base when it
// has none.
QString baseUrlOf(const QString &address, const QString &currentBase);

// Whether a text ends in "jpg" exactly (lower case).
bool endsWithJpg(QStringView text);

} // namespace pomiv
