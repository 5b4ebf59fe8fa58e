#pragma once

#include <QString>
#include <QStringList>

namespace pomiv {

// A file-name filter: one or more wildcard patterns separated by ";" ("*" any
// run of characters, "?" one character), matched without regard to case.
class Wildcard {
public:
    explicit Wildcard(const QString &patterns);
    bool matches(const QString &name) const;

private:
    QStringList m_patterns; // case-folded, empty ones dropped
};

} // namespace pomiv
