#pragma once

#include <QString>

#include <functional>

namespace pomiv {

enum class EntryKind { File, Folder };

// Calls visit for every file and folder of a folder that is not hidden (a
// name starting with a dot; the hidden attribute on Windows), in no order.
// Other kinds of entries (devices, sockets) are passed over. Names come as
// nameFromSystem gives them, so each addresses its own file. visit returns
// false to stop. Fast in folders of a hundred thousand files: no per-entry
// stat where the system reports the kind.
void scanFolder(const QString &folder,
                const std::function<bool(const QString &name, EntryKind kind)> &visit);

} // namespace pomiv
