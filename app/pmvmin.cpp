#include "app/pmvmin.h"

#include "about/br.h"
#include "controls/DriveList.h"
#include "controls/FileList.h"
#include "controls/FolderList.h"
#include "controls/MessageBox.h"
#include "controls/Ui.h"
#include "core/DataFile.h"
#include "core/Errors.h"
#include "core/Paths.h"
#include "core/Volumes.h"
#include "settings/Shared.h"
#include "settings/f2.h"
#include "settings/rules/SettingsFile.h"
#include "viewer/f1.h"
#include "web/INTE.h"
#include "web/URLs.h"
#include "web/rules/PomiIni.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

namespace pomiv {

static const QColor windowColour(128, 128, 255);
static const QColor folderLabelColour(255, 255, 192);
static const QColor greyLabelColour(192, 192, 192);

pmvmin::pmvmin(QWidget *parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("pmvmin"));
    setWindowTitle(jp("ポミブ"));
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(px(9240), px(5760));
    setBackground(client, windowColour);
    setCentralWidget(client);
    buildMenu();
    buildControls(client);
    adjustSize();
    setFixedSize(sizeHint());
}

void pmvmin::buildMenu() {
    m1 = menuBar()->addMenu(jp("ファイル"));
    m1->setObjectName(QStringLiteral("m1"));
    m1_3 = m1->addAction(jp("URLの整理"));
    m1_3->setObjectName(QStringLiteral("m1_3"));
    m1_1 = m1->addAction(jp("環境設定"));
    m1_1->setObjectName(QStringLiteral("m1_1"));
    m1_2 = m1->addAction(jp("終了"));
    m1_2->setObjectName(QStringLiteral("m1_2"));
    bs = menuBar()->addAction(jp("バージョン情報"));
    bs->setObjectName(QStringLiteral("bs"));
    connect(m1_3, &QAction::triggered, this, &pmvmin::m1_3_Click);
    connect(m1_1, &QAction::triggered, this, &pmvmin::m1_1_Click);
    connect(m1_2, &QAction::triggered, this, &pmvmin::m1_2_Click);
    connect(bs, &QAction::triggered, this, &pmvmin::bs_Click);
}

void pmvmin::buildControls(QWidget *client) {
    const QString pGothic = jp(fontPGothic);

    Command3 = makeCaptioned<QPushButton>(client, "Command3", "クリア", 6840, 4560, 2295, 375);

    INTB = makeCaptioned<QPushButton>(client, "INTB", "画像ダウンロード", 2640, 4800, 2175, 855);
    INTB->setFont(designFont(pGothic, 9, true));
    INTB->setToolTip(jp("インターネットからJPEGファイルをダウンロードします。"));

    Frame2 = make<QGroupBox>(client, "Frame2", 4920, 3120, 1815, 2535);
    Picture1 = make<QWidget>(Frame2, "Picture1", 120, 1440, 1575, 975);
    op2[2] = makeCaptioned<QRadioButton>(Picture1, "op2_2", "現在のフォルダ", 0, 0, 1575, 375);
    op2[0] = makeCaptioned<QRadioButton>(Picture1, "op2_0", "メインフォルダ", 0, 360, 1575, 375);
    op2[1] = makeCaptioned<QRadioButton>(Picture1, "op2_1", "変換先フォルダ", 0, 720, 1575, 255);
    op2[2]->setChecked(true);
    Frame3 = make<QWidget>(Frame2, "Frame3", 120, 720, 1575, 495);
    op1[0] = makeCaptioned<QRadioButton>(Frame3, "op1_0", "拡張子を変える", 0, 0, 1575, 255);
    op1[1] = makeCaptioned<QRadioButton>(Frame3, "op1_1", "削除", 0, 240, 1695, 255);
    op1[0]->setChecked(true);
    nc = makeCaptioned<QPushButton>(Frame2, "nc", "内容チェック", 120, 240, 1575, 375);
    nc->setToolTip(jp("フォルダ内、同じ内容のファイルを削除又は変換します"));
    Line2 = make<QFrame>(Frame2, "Line2", 0, 1320, 1815, 30);
    Line1 = make<QFrame>(Frame2, "Line1", 0, 660, 1815, 30);
    for (QFrame *line : {Line1, Line2}) {
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
    }

    Frame1 = make<QGroupBox>(client, "Frame1", 4920, 120, 1815, 2895);
    Frame1->setTitle(jp("連番付"));
    Command1 = makeCaptioned<QPushButton>(Frame1, "Command1", "選択あり　＞", 120, 240, 1575, 255);
    Command1->setToolTip(jp("選択されたファイルを変換します"));
    Command2 = makeCaptioned<QPushButton>(Frame1, "Command2", "すべて　＞＞", 120, 600, 1575, 255);
    Command2->setToolTip(jp("すべてのファイルを変換します"));
    tx[1] = make<QLineEdit>(Frame1, "tx_1", 120, 1200, 1575, 330);
    tx[1]->setFont(designFont(pGothic, 11.25));
    tx[1]->setToolTip(
        jp("例：A1.jpgからA～.jpgにする時はAを入力、現在の表示は前回の入力でこのまま使えます"));
    tx[2] = make<QLineEdit>(Frame1, "tx_2", 120, 1920, 1575, 375);
    tx[2]->setFont(designFont(pGothic, 11.25));
    tx[2]->setToolTip(
        jp("例：A1.jpgからA～.jpgにする時は１を入力、現在の表示は前回の入力でこのまま使えます"));
    st = makeCaptioned<QPushButton>(Frame1, "st", "スタート", 120, 2400, 1575, 375);
    st->setToolTip(jp("ファイル変換を開始します。"));
    Label1 = makeCaptioned<QLabel>(Frame1, "Label1", "ファイル名", 120, 960, 1575, 255);
    Label2 = makeCaptioned<QLabel>(Frame1, "Label2", "始まり番号", 120, 1680, 1575, 255);
    setBackground(Label1, greyLabelColour);
    setBackground(Label2, greyLabelColour);

    d4 = make<QListWidget>(client, "d4", 6840, 120, 2295, 4020);
    s = make<QProgressBar>(client, "s", 6840, 4200, 2295, 255);
    s->setRange(0, 100);
    s->setValue(0);
    s->setTextVisible(false);

    sr = make<QComboBox>(client, "sr", 360, 4440, 1815, 300);
    sr->setEditable(true);
    sr->setInsertPolicy(QComboBox::NoInsert);
    // The pattern is exactly what was typed: no completion from the list.
    sr->setCompleter(nullptr);
    // Qt takes Return, or leaving the box, for a choice from the list when
    // the typed text equals an entry; here only a choice in the list is one.
    disconnect(sr->lineEdit(), &QLineEdit::editingFinished, sr, nullptr);
    sr->setToolTip(jp("表示するファイルのタイプを選択"));

    // Below the client area, so never visible; nor can the keyboard reach it.
    tx[0] = make<QLineEdit>(client, "tx_0", 120, 6000, 4575, 495);
    tx[0]->setFocusPolicy(Qt::NoFocus);

    OKB = makeCaptioned<QPushButton>(client, "OKB", "画像表示", 2640, 4320, 2175, 375);
    OKB->setFont(designFont(pGothic, 11.25, true));
    OKB->setToolTip(jp("現在のフォルダの画像を表示します"));
    OKB->setEnabled(false);

    d3 = make<FileList>(client, "d3", 2640, 120, 2175, 4050);
    d3->setToolTip(jp("変換元のファイルを選択"));
    d2 = make<FolderList>(client, "d2", 120, 480, 2415, 3660);
    d2->setToolTip(jp("フォルダを選択"));
    d1 = make<DriveList>(client, "d1", 120, 120, 2415, 300);
    d1->setToolTip(jp("ドライブを選択します"));

    fr[1] = make<QLabel>(client, "fr_1", 120, 5400, 2295, 255);
    setBackground(fr[1], folderLabelColour);
    Label5 = makeCaptioned<QLabel>(client, "Label5", "メインフォルダ", 120, 5040, 2295, 495);
    Label5->setFont(designFont(jp(fontPMincho), 14.25, true));
    Label4 = makeCaptioned<QLabel>(client, "Label4", "変換先フォルダ", 6840, 5040, 2295, 375);
    Label4->setFont(designFont(pGothic, 14.25, true));
    fr[0] = make<QLabel>(client, "fr_0", 6840, 5400, 2295, 255);
    setBackground(fr[0], folderLabelColour);
    Label3 = makeCaptioned<QLabel>(client, "Label3", "ファイルの種類", 480, 4200, 1545, 225);
    Label3->setFont(designFont(pGothic, 11.25, true));
    for (QLabel *label : {Label5, Label4, Label3})
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // The drawing order is the order above; the first listed lies on top.
    const QList<QWidget *> order = client->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *w : order)
        w->lower();

    setTabOrder(d1, d2);
    setTabOrder(d2, d3);
    setTabOrder(d3, OKB);
    d1->setFocus();

    // The lists start on the start-up folder, the file list with the folder
    // list's reading of it.
    d1->setDrive(d2->path());
    d3->setPath(d2->path(), d2->scan());

    connect(d1, &DriveList::changed, this, &pmvmin::d1_Change);
    connect(d2, &FolderList::changed, this, &pmvmin::d2_Change);
    connect(d3, &FileList::pathChanged, this, &pmvmin::d3_PathChange);
    connect(d3, &FileList::patternChanged, this, &pmvmin::d3_PatternChange);
    connect(sr, &QComboBox::editTextChanged, this, &pmvmin::sr_Change);
    connect(sr, &QComboBox::activated, this, &pmvmin::sr_Click);
    for (int i = 0; i < 3; ++i)
        connect(op2[i], &QRadioButton::clicked, this, [this, i] { op2_Click(i); });
    connect(OKB, &QPushButton::clicked, this, &pmvmin::OKB_Click);
    connect(INTB, &QPushButton::clicked, this, &pmvmin::INTB_Click);
    connect(Command1, &QPushButton::clicked, this, &pmvmin::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &pmvmin::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &pmvmin::Command3_Click);
    connect(st, &QPushButton::clicked, this, &pmvmin::st_Click);
    connect(nc, &QPushButton::clicked, this, &pmvmin::nc_Click);
}

bool pmvmin::Form_Load() {
    Error err = Ok;
    [&] {
        tx[0]->setText(d2->path());
        f_open();
        fr[0]->setText(tx[0]->text());
        fr[1]->setText(tx[0]->text());
        if (!DestFolder.isEmpty())
            fr[0]->setText(DestFolder);
        else
            DestFolder = fr[0]->text();
        if (!MainFolder.isEmpty())
            fr[1]->setText(MainFolder);
        else
            MainFolder = fr[1]->text();
        if ((err = d2->setPath(MainFolder)) != Ok)
            return;
        s->setValue(0);
    }();
    if (err == DeviceUnavailable) {
        const QString text =
            MainFolder + QLatin1Char(' ') + errorText(DeviceUnavailable) + jp("続行しますか？");
        if (message(this, text, MsgButtons::YesNo) == MsgAnswer::No)
            return false;
    }
    d1->setDrive(d2->path());
    sr->setEditText(jp("*.jpg"));
    {
        const QSignalBlocker block(sr);
        const QString text = sr->currentText();
        for (const char *pattern :
             {"*.jpg", "*.bmp", "*.dib", "*.gif", "*.wmf", "*.emf", "*.ico", "*.cur", "*.*"})
            sr->addItem(jp(pattern));
        sr->setCurrentIndex(-1);
        sr->setEditText(text);
    }
    return true;
}

void pmvmin::f_open() {
    AppDir = appDirFor(programDir());
    removeStaleTemporaries(AppDir,
                           {QLatin1String(settingsFileName), QLatin1String(PomiIni::fileName)});
    readSettingsInto(4);
}

Error pmvmin::readSettingsInto(int wanted) {
    QStringList fields;
    const Error err = readSettings(AppDir, &fields, wanted);
    if (!fields.value(0).isEmpty())
        MainFolder = fields[0];
    if (!fields.value(1).isEmpty())
        DestFolder = fields[1];
    if (err == Ok && wanted > 3) {
        tx[1]->setText(fields[2]);
        tx[2]->setText(fields[3]);
    }
    return err;
}

SettingsRecord pmvmin::settingsRecord() const {
    return {MainFolder, DestFolder, tx[1]->text(), tx[2]->text()};
}

Error pmvmin::saveSettings(const QString &mainFolder, const QString &destFolder) {
    SettingsRecord record = settingsRecord();
    record.mainFolder = mainFolder;
    record.destFolder = destFolder;
    if (const Error err = f_save(AppDir, record); failed(err))
        return err;
    MainFolder = mainFolder;
    DestFolder = destFolder;
    return Ok;
}

void pmvmin::updateViewButton() {
    OKB->setEnabled(d3->hasEntries());
}

void pmvmin::changeEvent(QEvent *event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void pmvmin::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    // Without a window manager the first activation may never be reported.
    if (!event->spontaneous())
        Form_Activate();
}

void pmvmin::Form_Activate() {
    updateViewButton();
}

void pmvmin::d1_Change() {
    const Volumes &volumes = Volumes::instance();
    const QString drive = d1->drive();
    if (volumes.driveOf(d2->path()) == drive)
        return;
    const Error err = d2->setPath(volumes.currentFolder(drive));
    if (err == DeviceUnavailable) {
        message(this, jp("ドライブの準備ができていません"));
        return;
    }
    if (err != Ok || d3->setPath(d2->path(), d2->scan()) != Ok)
        return;
    tx[0]->setText(withTrailingSeparator(d2->path()));
    updateViewButton();
}

void pmvmin::d2_Change() {
    // The folder list has just read the folder; the file list and the view
    // button go by that reading.
    d3->setPath(d2->path(), d2->scan());
    tx[0]->setText(d2->path());
    updateViewButton();
}

void pmvmin::d3_PathChange() {
    ViewIndex = 0;
}

void pmvmin::d3_PatternChange() {
    ViewIndex = 0;
}

void pmvmin::sr_Change() {
    d3->setPattern(sr->currentText());
}

void pmvmin::sr_Click(int index) {
    d3->setPattern(sr->itemText(index));
    d3->refresh();
    updateViewButton();
}

bool pmvmin::showFolder(const QString &folder, QWidget *reporter) {
    if (!folder.isEmpty() && !FolderDrive(folder).isReady()) {
        message(reporter ? reporter : this, jp("ドライブの準備ができていません"));
        return false;
    }
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    d1->setDrive(folder);
    return d2->setPath(folder) == Ok && d3->setPath(folder, d2->scan()) == Ok;
}

std::optional<QString> pmvmin::followFolderOption(int index,
                                                  const std::array<QRadioButton *, 3> &options,
                                                  QString &original, int &checked,
                                                  QWidget *reporter) {
    if (index == 2 && original.isEmpty())
        return std::nullopt;
    const QString before = d3->path();
    const QString target = index == 2 ? original : index == 0 ? MainFolder : DestFolder;
    if (!showFolder(target, reporter)) {
        options[checked]->setChecked(true);
        return std::nullopt;
    }
    if (index == 2)
        original.clear();
    else if (original.isEmpty())
        original = before;
    options[2]->setText(jp(index == 2 ? "現在のフォルダ" : "元のフォルダ"));
    checked = index;
    return target;
}

void pmvmin::op2_Click(int index) {
    if (followFolderOption(index, op2, OrigFolder, m_checkedOption, this))
        tx[0]->setText(withTrailingSeparator(tx[0]->text()));
}

void pmvmin::OKB_Click() {
    const BusyPointer busy(this);
    if (m_f1 && !m_f1->isVisible())
        m_f1 = nullptr; // closed, only not yet discarded
    openOnce(m_f1, [this] {
        auto *viewer = new f1(this);
        // The viewer is a window of its own (closing the main window leaves
        // it open), but it does not outlive the main window.
        connect(this, &QObject::destroyed, viewer, [viewer] { delete viewer; });
        return viewer;
    });
}

void pmvmin::INTB_Click() {
    openOnce(m_inte, [this] {
        auto *window = new INTE(this);
        window->Form_Load();
        return window;
    });
}

void pmvmin::m1_1_Click() {
    openOnce(m_f2, [this] { return new f2(this); });
}

void pmvmin::m1_3_Click() {
    openOnce(m_urls, [] {
        auto *window = new URLs;
        window->Form_Load();
        return window;
    });
}

void pmvmin::bs_Click() {
    openOnce(m_br, [] { return new br; });
}

void pmvmin::m1_2_Click() {
    QCoreApplication::quit();
}

} // namespace pomiv
