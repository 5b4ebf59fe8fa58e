#include "core/Listing.h"

#include "core/DirScan.h"
#include "core/Wildcard.h"

#include <algorithm>
#include <vector>

namespace pomiv {

QStringList matchingFiles(const FolderScan &scan, const QString &pattern) {
    const Wildcard filter(pattern);
    struct Entry {
        QString key; // case-folded, for the order
        QString name;
    };
    std::vector<Entry> entries;
    for (const QString &name : scan.files) {
        if (filter.matches(name))
            entries.push_back({name.toCaseFolded(), name});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        const int c = a.key.compare(b.key);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    QStringList names;
    names.reserve(static_cast<qsizetype>(entries.size()));
    for (Entry &e : entries)
        names.append(std::move(e.name));
    return names;
}

} // namespace pomiv
