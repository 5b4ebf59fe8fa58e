#include "web/URLs.h"

#include "controls/MessageBox.h"
#include "controls/Ui.h"
#include "core/Errors.h"
#include "settings/Shared.h"
#include "web/rules/PomiIni.h"

#include <QListWidget>
#include <QPushButton>

namespace pomiv {

// An entry is shown cut to this length; the whole entry is kept and written.
static constexpr int shownLength = 4096;

URLs::URLs(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("URLs"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(jp("URLの整理"));
    setFixedSize(px(6000), px(4200));

    const auto button = [this](const char *name, const char *caption, const char *tip, int left) {
        auto *b = makeCaptioned<QPushButton>(this, QString::fromLatin1(name), caption, left, 120,
                                             1815, 375);
        b->setToolTip(jp(tip));
        return b;
    };
    Command1 = button("Command1", "削除", "指定したサイドを削除します", 120);
    Command2 = button("Command2", "更新して終了", "サイド情報を更新して終了", 2055);
    Command3 = button("Command3", "キャンセル", "更新しないで終了", 3990);
    l1 = make<QListWidget>(this, QStringLiteral("l1"), 120, 600, 5760, 3480);
    l1->setToolTip(jp("削除するサイドを指定してください"));
    l1->setSelectionMode(QAbstractItemView::SingleSelection);
    l1->setUniformItemSizes(true);

    connect(Command1, &QPushButton::clicked, this, &URLs::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &URLs::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &URLs::Command3_Click);

    centreOnScreen(this);
}

void URLs::Form_Load() {
    QStringList entries;
    const Error err = PomiIni(AppDir).read(&entries);
    l1->setUpdatesEnabled(false);
    for (const QString &entry : entries) {
        auto *item = new QListWidgetItem(entry.left(shownLength));
        item->setData(Qt::UserRole, entry);
        l1->addItem(item);
    }
    l1->setUpdatesEnabled(true);
    m_listedLines = static_cast<int>(entries.size());
    if (err == FileNotFound)
        PomiIni(AppDir).createEmpty();
}

void URLs::Command1_Click() {
    for (int row = 0; row < l1->count(); ++row) {
        if (l1->item(row)->isSelected()) {
            delete l1->takeItem(row);
            break;
        }
    }
    // Nothing stays selected, so a second press removes nothing.
    l1->clearSelection();
    l1->setCurrentRow(-1, QItemSelectionModel::Clear);
}

void URLs::Command2_Click() {
    // The lines the start-up did not list (after a short line, or saved by
    // the download window meanwhile) are kept as they stand now.
    QStringList lines;
    Error err = PomiIni(AppDir).readLines(&lines);
    if (err == FileNotFound) {
        lines.clear();
        err = Ok;
    }
    if (err != Ok) {
        message(this, jp("保存しているURLのファイルを読めませんでした。") + errorText(err));
        return;
    }
    QStringList written;
    written.reserve(l1->count() + lines.size());
    for (int row = 0; row < l1->count(); ++row)
        written.append(PomiIni::quoted(l1->item(row)->data(Qt::UserRole).toString()));
    written.append(lines.mid(m_listedLines));
    if (const Error writeErr = PomiIni(AppDir).writeAnew(written); failed(writeErr)) {
        message(this,
                jp("保存しているURLのファイルを書き込めませんでした。") + errorText(writeErr));
        return;
    }
    close();
}

void URLs::Command3_Click() {
    close();
}

} // namespace pomiv
