#pragma once

#include "settings/rules/SettingsFile.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace pomiv {

// What a numbered transfer reads: the names to copy, in order, the folder
// they are in, and the settings record as the run starts. The record's
// destination folder receives the copies, its name prefix and number name
// them, and it is written back, with the number advanced, after every copy.
struct TransferJob {
    QStringList names{};
    QString sourceFolder{};
    SettingsRecord settings{};
    QString dataFolder{}; // where the settings file is
};

// One file copied.
struct CopiedFile {
    int index = 0;  // its place among the names
    QString name;   // the new name
    QString number; // the number field's text from now on
};

// How a run ended: Ok when every name was copied, else the error that ended
// it: TypeMismatch (the number is not a number, or the prefix holds a path
// separator, which would copy into another folder), FileAlreadyExists,
// PathNotFound, or GeneralFailure for every other failure, a settings file
// that cannot be written included.
struct TransferResult {
    Error err = Ok;
    int copied = 0;
};

// The numbered transfer: each name, in order, is copied from the source
// folder into the destination folder under the prefix, the running number and
// its extension part, never replacing a file. The first failure ends the run;
// the copies made stay. Uses no window, and never hands control back to one
// in between.
class TransferRun {
public:
    // Called before each file, with its place among the names (the progress).
    std::function<void(int index)> starting;
    // Called after each copy, before the settings file is written.
    std::function<void(const CopiedFile &file)> copied;

    TransferResult run(const TransferJob &job) const;
};

} // namespace pomiv
