#pragma once

#include <QStringList>

#include <functional>

namespace pomiv {

class pmvmin;

namespace Module1 {

// The content check over the listed files (full paths, in list order): every
// file that holds the same bytes as an earlier one is renamed (last
// character of its path replaced by "_") or deleted, as the main window's
// option asks; the first of each set of identical files stays. Reports the
// count, and the files that could not be read or changed, in a message box.
void dup_chk(pmvmin &window, const QStringList &paths, int count);

// Lets tests change files after every file was compared and before any is
// acted on.
void setBeforeActingForTests(std::function<void()> hook);

} // namespace Module1
} // namespace pomiv
