// The main window's numbered transfer: the selection list and the copy run.

#include "app/pmvmin.h"

#include "controls/DriveList.h"
#include "controls/FileList.h"
#include "controls/FolderList.h"
#include "controls/MessageBox.h"
#include "core/Errors.h"
#include "core/FileService.h"
#include "core/Paths.h"
#include "settings/Shared.h"
#include "settings/rules/NumberedNames.h"
#include "settings/rules/SettingsFile.h"

#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>

#include <optional>

namespace pomiv {

// A selection entry shows the name as text and keeps the name as the file
// system gave it, which the copy uses.
static void addSelected(QListWidget *list, const QString &name) {
    auto *item = new QListWidgetItem(displayText(name), list);
    item->setData(Qt::UserRole, name);
}

void pmvmin::Command1_Click() {
    d4->clear();
    for (int i = 0; i < d3->count(); ++i) {
        if (d3->isSelected(i))
            addSelected(d4, d3->name(i));
    }
}

void pmvmin::Command2_Click() {
    d4->clear();
    for (const QString &name : d3->names())
        addSelected(d4, name);
}

void pmvmin::Command3_Click() {
    d4->clear();
}

void pmvmin::st_Click() {
    const int n = d4->count();
    if (n == 0)
        return;
    s->setMaximum(n);
    QStringList names;
    names.reserve(n);
    for (int i = 0; i < n; ++i) {
        const QVariant name = d4->item(i)->data(Qt::UserRole);
        names.append(name.isValid() ? name.toString() : d4->item(i)->text());
    }
    d4->clear();
    if (tx[1]->text().isEmpty() || tx[2]->text().isEmpty()) {
        message(this, QStringLiteral("正しく入力してください"));
        return;
    }

    // The run holds the window until it ends: no events are handled in
    // between, only the progress bar is repainted. The first failure ends it.
    const int err = [&]() -> int {
        const FileService files;
        SettingsRun settings(AppDir);
        std::optional<qint64> number;
        for (int k = 0; k < n; ++k) {
            s->setValue(k);
            s->repaint();
            if (DestFolder.isEmpty())
                DestFolder = tx[0]->text();
            if (!number) {
                number = parseRunningNumber(tx[2]->text());
                // A prefix with a separator would copy into another folder.
                if (!number || holdsPathSeparator(tx[1]->text()))
                    return TypeMismatch;
            }
            const QString newName = numberedName(tx[1]->text(), *number, names[k]);
            if (const int e = files.copyFile(joinPath(tx[0]->text(), names[k]),
                                             joinPath(DestFolder, newName)))
                return e;
            d4->addItem(newName);
            ++*number;
            tx[2]->setText(numberText(*number));
            // A settings file that cannot be written ends the run without a
            // message, whatever the reason.
            if (settings.f_save({MainFolder, DestFolder, tx[1]->text(), tx[2]->text()}) != Ok)
                return GeneralFailure;
        }
        d1->setDrive(DestFolder);
        if (const int e = d2->setPath(DestFolder))
            return e;
        d3->refresh();
        s->setValue(0);
        d4->clear();
        return Ok;
    }();

    switch (err) {
    case TypeMismatch:
        message(this, QStringLiteral("正しく入力してください、") + errorText(TypeMismatch));
        tx[1]->clear();
        tx[2]->clear();
        break;
    case PathNotFound:
        message(this, QStringLiteral("ドライブの準備ができません"), MsgButtons::Ok,
                MsgIcon::Critical);
        break;
    case FileAlreadyExists:
        message(this, QStringLiteral("同名ファイルがあります"), MsgButtons::Ok, MsgIcon::Critical);
        break;
    default:
        break;
    }
}

} // namespace pomiv
