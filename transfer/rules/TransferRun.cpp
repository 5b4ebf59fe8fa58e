#include "transfer/rules/TransferRun.h"

#include "core/Errors.h"
#include "core/FileService.h"
#include "core/Paths.h"
#include "settings/rules/NumberedNames.h"

#include <optional>

namespace pomiv {

TransferResult TransferRun::run(const TransferJob &job) const {
    const FileService files;
    SettingsRun settings(job.dataFolder);
    SettingsRecord record = job.settings;
    TransferResult result;
    std::optional<qint64> number;
    for (int k = 0; k < job.names.size(); ++k) {
        if (starting)
            starting(k);
        if (!number) {
            number = parseRunningNumber(record.number);
            if (!number || holdsPathSeparator(record.prefix))
                return {TypeMismatch, result.copied};
        }
        const QString newName = numberedName(record.prefix, *number, job.names[k]);
        if (const Error err = files.copyFile(joinPath(job.sourceFolder, job.names[k]),
                                             joinPath(record.destFolder, newName));
            failed(err))
            return {err, result.copied};
        ++result.copied;
        record.number = numberText(++*number);
        if (copied)
            copied({k, newName, record.number});
        // A settings file that cannot be written ends the run as any other
        // failure, whatever the reason.
        if (settings.f_save(record) != Ok)
            return {GeneralFailure, result.copied};
    }
    return result;
}

} // namespace pomiv
