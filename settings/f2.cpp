#include "settings/f2.h"

#include "app/pmvmin.h"
#include "controls/DriveList.h"
#include "controls/FileList.h"
#include "controls/FolderList.h"
#include "controls/MessageBox.h"
#include "controls/Ui.h"
#include "core/Errors.h"
#include "core/Volumes.h"
#include "settings/Shared.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace pomiv {

static QString indexed(const char *name, int i) {
    return QString::fromLatin1(name) + QLatin1Char('_') + QString::number(i);
}

f2::f2(pmvmin *main)
    // No parent: closing the main window leaves this one open.
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_main(main) {
    setObjectName(QStringLiteral("f2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(jp("環境設定"));
    setBackground(this, dialogColour);
    setFixedSize(px(7305), px(6555));

    OKB = makeCaptioned<QPushButton>(this, QStringLiteral("OKB"), "OK", 5880, 120, 1335, 375);
    OKB->setToolTip(jp("環境設定を保存して終了"));
    exitb = makeCaptioned<QPushButton>(this, QStringLiteral("exitb"), "キャンセル", 4320, 120, 1335,
                                       375);
    exitb->setToolTip(jp("保存しないで終了"));
    // Enter presses the button that has the focus.
    OKB->setAutoDefault(true);
    exitb->setAutoDefault(true);

    Frame1 = make<QGroupBox>(this, QStringLiteral("Frame1"), 120, 600, 3495, 5055);
    Frame1->setTitle(jp("メインフォルダ選択"));
    Frame2 = make<QGroupBox>(this, QStringLiteral("Frame2"), 3720, 600, 3495, 5055);
    Frame2->setTitle(jp("変換先フォルダ選択"));

    const char *driveTips[] = {"変換元フォルダのドライブを指定します",
                               "変換先フォルダのドライブを指定します"};
    const char *folderTips[] = {"変換元フォルダを指定します", "変換先フォルダを指定します"};
    const char *captions[] = {"メインフォルダ", "変換先フォルダ"};
    const int halfLeft[] = {120, 3720};
    const int captionLeft[] = {840, 4560};
    const QString start = Volumes::startupFolder();
    for (int i = 0; i < 2; ++i) {
        QGroupBox *frame = i == 0 ? Frame1 : Frame2;
        d1[i] = make<DriveList>(frame, indexed("d1", i), 120, 240, 3255, 300);
        d1[i]->setToolTip(jp(driveTips[i]));
        d2[i] = make<FolderList>(frame, indexed("d2", i), 120, 600, 3255, 4290);
        d2[i]->setToolTip(jp(folderTips[i]));
        Label1[i] = make<QLabel>(this, indexed("Label1", i), captionLeft[i], 5880, 2055, 255);
        Label1[i]->setText(jp(captions[i]));
        d3[i] = make<QLineEdit>(this, indexed("d3", i), halfLeft[i], 6120, 3495, 270);

        // Both halves start on the start-up folder, where a new folder list
        // stands.
        d1[i]->setDrive(start);
    }

    setTabOrder(OKB, exitb);
    setTabOrder(exitb, d1[0]);
    setTabOrder(d1[0], d2[0]);
    setTabOrder(d2[0], d1[1]);
    setTabOrder(d1[1], d2[1]);
    setTabOrder(d2[1], d3[0]);
    setTabOrder(d3[0], d3[1]);
    OKB->setFocus();

    for (int i = 0; i < 2; ++i) {
        connect(d1[i], &DriveList::changed, this, [this, i] { d1_Change(i); });
        connect(d2[i], &FolderList::changed, this, [this, i] { d2_Change(i); });
    }
    connect(OKB, &QPushButton::clicked, this, &f2::OKB_Click);
    connect(exitb, &QPushButton::clicked, this, &f2::exitb_Click);

    centreOnScreen(this);

    Form_Load();
}

void f2::Form_Load() {
    d3[0]->setText(d2[0]->path());
    d3[1]->setText(d2[0]->path());

    if (!m_main || m_main->readSettingsInto(2) != Ok)
        return;

    d1[0]->setDrive(MainFolder);
    d1[1]->setDrive(DestFolder);
    if (MainFolder.isEmpty() || d2[0]->setPath(MainFolder) != Ok)
        return;
    if (DestFolder.isEmpty() || d2[1]->setPath(DestFolder) != Ok)
        return;
    d3[0]->setText(d2[0]->path());
    d3[1]->setText(d2[1]->path());
}

void f2::d1_Change(int index) {
    const Volumes &volumes = Volumes::instance();
    const Error err = d2[index]->setPath(volumes.currentFolder(d1[index]->drive()));
    if (err == DeviceUnavailable) {
        message(this, jp("ドライブの準備ができていません"));
        return;
    }
    if (err != Ok)
        return;
    d3[index]->setText(d2[index]->path());
}

void f2::d2_Change(int index) {
    d3[index]->setText(d2[index]->path());
}

void f2::OKB_Click() {
    if (!m_main)
        return;
    if (const Error err = m_main->saveSettings(d3[0]->text(), d3[1]->text()); failed(err)) {
        message(this, errorText(err));
        return;
    }

    // The main window follows only when the folder can be shown there; its
    // lists stay where they were otherwise.
    m_main->showFolder(MainFolder, this);
    m_main->fr[0]->setText(DestFolder);
    m_main->fr[1]->setText(MainFolder);
    close();
}

void f2::exitb_Click() {
    close();
}

} // namespace pomiv
