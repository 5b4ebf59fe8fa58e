// The main window's content check.

#include "dupcheck/ContentCheck.h"

#include "app/pmvmin.h"
#include "controls/FileList.h"
#include "controls/MessageBox.h"
#include "controls/Ui.h"
#include "core/Errors.h"
#include "core/FileService.h"
#include "core/Paths.h"
#include "dupcheck/rules/ContentRules.h"

#include <QRadioButton>

#include <algorithm>

namespace pomiv {

static std::function<void()> &beforeActing() {
    static std::function<void()> hook;
    return hook;
}

void Module1::setBeforeActingForTests(std::function<void()> hook) {
    beforeActing() = std::move(hook);
}

void Module1::dup_chk(pmvmin &window, const QStringList &paths, int count) {
    count = std::min<int>(count, paths.size());
    // Every file is read before any is changed.
    FileContents contents(paths);
    const std::vector<qsizetype> verdicts = findRepeats(count, contents);

    if (beforeActing())
        beforeActing()();

    const bool rename = window.op1[0]->isChecked();
    const FileService files;
    int acted = 0;
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        // A link is no copy of anything: it is neither counted nor acted on.
        if (contents.identity(i).isLink)
            continue;
        if (verdicts[i] == notChecked) {
            ++failed;
            continue;
        }
        if (verdicts[i] == notRepeated)
            continue;
        // A file changed since it was compared (or the one it repeats) is no
        // longer known to be a repeat: it is left as it is.
        const QString &path = paths[i];
        if (FileIdentity::of(path) != contents.identity(i) ||
            FileIdentity::of(paths[verdicts[i]]) != contents.identity(verdicts[i])) {
            ++failed;
            continue;
        }
        Error err = Ok;
        if (rename)
            err = files.renameFile(path, path.chopped(1) + QLatin1Char('_'));
        else if ((err = files.getFile(path)) == Ok)
            err = files.deleteFile(path, true);
        if (err == Ok)
            ++acted;
        else
            ++failed;
    }

    QString text = QLatin1Char(' ') + QString::number(acted) + QLatin1Char(' ') +
                   jp("個のファイルがありました");
    if (failed > 0)
        text += jp("\n確認または変更できなかったファイル： %1 個").arg(failed);
    message(&window, text);
}

void pmvmin::nc_Click() {
    const BusyPointer busy(this);
    QStringList paths;
    paths.reserve(d3->count());
    for (const QString &name : d3->names())
        paths.append(joinPath(d3->path(), name));
    Module1::dup_chk(*this, paths, static_cast<int>(paths.size()));
    d3->refresh();
}

} // namespace pomiv
