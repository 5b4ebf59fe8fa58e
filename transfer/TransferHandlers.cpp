// The main window's numbered transfer: the selection list and the copy run.

#include "app/pmvmin.h"

#include "controls/DriveList.h"
#include "controls/FileList.h"
#include "controls/FolderList.h"
#include "controls/MessageBox.h"
#include "core/Errors.h"
#include "core/Paths.h"
#include "core/Text.h"
#include "settings/Shared.h"
#include "transfer/rules/TransferRun.h"

#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>

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
        message(this, jp("正しく入力してください"));
        return;
    }

    if (DestFolder.isEmpty())
        DestFolder = tx[0]->text();

    // The run holds the window until it ends: no events are handled in
    // between, only the progress bar is repainted. The first failure ends it.
    TransferRun run;
    run.starting = [this](int k) {
        s->setValue(k);
        s->repaint();
    };
    run.copied = [this](const CopiedFile &file) {
        d4->addItem(file.name);
        tx[2]->setText(file.number);
    };
    Error err = run.run({names, tx[0]->text(), settingsRecord(), AppDir}).err;
    if (err == Ok) {
        d1->setDrive(DestFolder);
        err = d2->setPath(DestFolder);
    }
    if (err == Ok) {
        d3->refresh();
        s->setValue(0);
        d4->clear();
    }

    switch (err) {
    case TypeMismatch:
        message(this, jp("正しく入力してください、") + errorText(TypeMismatch));
        tx[1]->clear();
        tx[2]->clear();
        break;
    case PathNotFound:
        message(this, jp("ドライブの準備ができません"), MsgButtons::Ok, MsgIcon::Critical);
        break;
    case FileAlreadyExists:
        message(this, jp("同名ファイルがあります"), MsgButtons::Ok, MsgIcon::Critical);
        break;
    default:
        break;
    }
}

} // namespace pomiv
