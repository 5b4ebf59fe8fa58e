#include "web/INTE.h"

#include "app/pmvmin.h"
#include "controls/DriveList.h"
#include "controls/FileList.h"
#include "controls/FolderList.h"
#include "controls/MessageBox.h"
#include "controls/Ui.h"
#include "core/Errors.h"
#include "core/Paths.h"
#include "net/InternetTransfer.h"
#include "settings/Shared.h"
#include "web/rules/DownloadRules.h"
#include "web/rules/DownloadRun.h"
#include "web/rules/LinkExtract.h"
#include "web/rules/PageDecoding.h"
#include "web/rules/PomiIni.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStringDecoder>

namespace pomiv {

static const QColor teal(0, 192, 192);
static const QColor linkListColour(255, 255, 192);
static const QColor folderColour(255, 255, 128);

// The longest text the main URL box can hold.
static constexpr int maxBoxText = 32767;

// Whether dropped data holds text of its own: Qt also offers a list of
// addresses (files from a file manager) as text, which is not taken.
static bool holdsText(const QMimeData *data) {
    const QStringList formats = data ? data->formats() : QStringList();
    return std::any_of(formats.begin(), formats.end(), [](const QString &format) {
        return format.startsWith(QLatin1String("text/plain"));
    });
}

// Text is only ever copied: a drop taken as a move would make the other
// program delete what was dragged. Data without text is not taken at all.
static bool takeAsCopy(QDropEvent *event) {
    if (!holdsText(event->mimeData()) || !(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

void DropList::dragEnterEvent(QDragEnterEvent *event) {
    takeAsCopy(event);
}

void DropList::dragMoveEvent(QDragMoveEvent *event) {
    takeAsCopy(event);
}

void DropList::dropEvent(QDropEvent *event) {
    if (takeAsCopy(event))
        emit dropped(event->mimeData());
}

Qt::DropActions DropList::supportedDropActions() const {
    return Qt::CopyAction;
}

// ---------------------------------------------------------------------------

INTE::INTE(pmvmin *main) : QWidget(nullptr, Qt::Window), m_main(main) {
    setObjectName(QStringLiteral("INTE"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(jp("インターネットの画像"));
    setBackground(this, teal);
    setFixedSize(px(8970), px(5880));
    it = new InternetTransfer(this);
    it->setObjectName(QStringLiteral("it"));
    buildControls(this);
    connect(it, &InternetTransfer::StateChanged, this, &INTE::it_StateChanged);
}

INTE::~INTE() {
    m_closing = true;
    // The controls go after this part of the window: nothing they send as
    // they go (a box that loses the focus, a fetch cut off) may reach it.
    l2->lineEdit()->removeEventFilter(this);
    for (QObject *child : findChildren<QObject *>())
        disconnect(child, nullptr, this, nullptr);
}

void INTE::buildControls(QWidget *client) {
    const QString pGothic = jp(fontPGothic);

    Command1 =
        makeCaptioned<QPushButton>(client, "Command1", "画像のダウンロード", 120, 120, 1815, 495);
    Command1->setFont(designFont(pGothic, 9, true));
    Command1->setToolTip(jp("リストのサイドから画像をダウンロードします。"));
    Command1->setEnabled(false);
    Command3 = makeCaptioned<QPushButton>(client, "Command3", "終了", 2160, 120, 855, 495);
    Command3->setFont(designFont(pGothic, 12, true));
    Label1 = makeCaptioned<QLabel>(client, "Label1", "ファイル数", 3000, 120, 1695, 375);
    sosu = make<QLabel>(client, "sosu", 3360, 360, 975, 255);
    setBackground(sosu, folderColour);
    Command4 = makeCaptioned<QPushButton>(client, "Command4", "URLの整理", 4680, 120, 1215, 495);
    Command4->setToolTip(jp("保存しているメインサイトを選択して削除"));
    Label3 = makeCaptioned<QLabel>(client, "Label3",
                                   "常に更新しているページがありますので保存する事をお勧めします。",
                                   240, 720, 5535, 375);
    Label3->setWordWrap(true);

    l2 = make<QComboBox>(client, "l2", 120, 960, 3975, 300);
    l2->setEditable(true);
    l2->setInsertPolicy(QComboBox::NoInsert);
    l2->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    l2->setToolTip(jp("保存しているメインサイドからロードします"));
    Command2 =
        makeCaptioned<QPushButton>(client, "Command2", "メインＵＲＬの保存", 4200, 960, 1695, 375);
    Command2->setFont(designFont(pGothic, 9, true));
    Command2->setToolTip(jp("メインサイドを保存します"));
    Command2->setEnabled(false);

    Label2 = makeCaptioned<QLabel>(client, "Label2",
                                   "ホームページのハイパーリンクを下にドラッグして入れてください。",
                                   120, 1440, 5775, 255);
    Label2->setFont(designFont(pGothic, 9, true));
    L1 = make<DropList>(client, "L1", 120, 1680, 5775, 2580);
    L1->setAcceptDrops(true);
    L1->viewport()->setAcceptDrops(true);
    L1->setDragDropMode(QAbstractItemView::DropOnly);
    {
        QPalette pal = L1->palette();
        pal.setColor(QPalette::Base, linkListColour);
        L1->setPalette(pal);
    }
    s = make<QProgressBar>(client, "s", 120, 4320, 5775, 255);
    s->setRange(0, 1);
    s->setValue(0);
    s->setTextVisible(false);

    Text4 = make<QLineEdit>(client, "Text4", 1200, 4680, 3135, 375);
    Text4->setFont(designFont(pGothic, 12, true));
    Command5 = makeCaptioned<QPushButton>(client, "Command5", "クリア", 4560, 4680, 1335, 375);
    Command5->setToolTip(jp("メインサイドのダウンロード中止"));
    Label5 = makeCaptioned<QLabel>(client, "Label5", "通信状態", 120, 4800, 960, 240);
    Label5->setFont(designFont(pGothic, 12));
    Label4 = make<QLabel>(client, "Label4", 120, 5160, 5775, 615);
    Label4->setText(jp("注意：") + QString(44, QChar(0x3000)) +
                    jp("ダウンロードできるのは画像ファイルに直接リンクをしているページのみです。"
                       "リストで表示していてもダウンロードできないファイルがあります。"));
    Label4->setWordWrap(true);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Frame1 = make<QGroupBox>(client, "Frame1", 6240, 0, 2655, 855);
    setBackground(Frame1, teal);
    op1[0] =
        makeCaptioned<QRadioButton>(Frame1, "op1_0", "ファイルを連番付する", 120, 240, 2295, 255);
    op1[1] = makeCaptioned<QRadioButton>(Frame1, "op1_1", "元のファイル名を使います", 120, 480,
                                         2295, 255);
    op1[0]->setChecked(true);

    Frame2 = make<QGroupBox>(client, "Frame2", 6240, 960, 2655, 1335);
    Frame2->setTitle(jp("保存先フォルダ"));
    setBackground(Frame2, teal);
    ft = make<QLabel>(Frame2, "ft", 120, 240, 2415, 255);
    setBackground(ft, folderColour);
    op2[2] = makeCaptioned<QRadioButton>(Frame2, "op2_2", "現在のフォルダ", 120, 600, 1695, 180);
    op2[0] = makeCaptioned<QRadioButton>(Frame2, "op2_0", "メインフォルダ", 120, 840, 1695, 180);
    op2[1] = makeCaptioned<QRadioButton>(Frame2, "op2_1", "変換先フォルダ", 120, 1080, 1695, 180);
    op2[2]->setChecked(true);

    Label7 = makeCaptioned<QLabel>(client, "Label7", "ダウンロードモニター", 6240, 2520, 2685, 180);
    l3 = make<QListWidget>(client, "l3", 6240, 2760, 2655, 2940);
    {
        QPalette pal = l3->palette();
        pal.setColor(QPalette::Base, Qt::black);
        pal.setColor(QPalette::Text, QApplication::palette().color(QPalette::Base));
        l3->setPalette(pal);
    }

    // Below the client area, so never visible.
    Text3 = make<QLineEdit>(client, "Text3", 600, 6840, 3975, 375);

    connect(Command1, &QPushButton::clicked, this, &INTE::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &INTE::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &INTE::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &INTE::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &INTE::Command5_Click);
    connect(L1, &DropList::dropped, this, &INTE::L1_OLEDragDrop);
    connect(l2, &QComboBox::activated, this, [this] { l2_Click(); });
    // Only a pick from the list loads a page, never Return in the box nor
    // leaving it with an entry's text in it.
    l2->lineEdit()->installEventFilter(this);
    disconnect(l2->lineEdit(), &QLineEdit::editingFinished, l2, nullptr);
    for (int i = 0; i < 3; ++i)
        connect(op2[i], &QRadioButton::clicked, this, [this, i] { op2_Click(i); });
}

void INTE::addSavedEntry(const QString &entry) {
    // Adding to the list never changes the main URL box's text.
    const QSignalBlocker block(l2);
    const QString text = l2->currentText();
    l2->addItem(entry.left(maxBoxText), entry);
    l2->setCurrentIndex(-1);
    l2->setEditText(text);
}

bool INTE::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void INTE::Form_Load() {
    s->setValue(0);
    QStringList entries;
    const Error err = PomiIni(AppDir).read(&entries);
    {
        const QSignalBlocker block(l2);
        for (const QString &entry : entries)
            l2->addItem(entry.left(maxBoxText), entry);
        l2->setCurrentIndex(-1);
        l2->setEditText(QString());
    }
    if (err == FileNotFound) {
        PomiIni(AppDir).createEmpty();
        return;
    }
    if (err != Ok || !m_main)
        return;
    ft->setText(withTrailingSeparator(m_main->d3->path()));
}

bool INTE::showInMain(const QString &folder) {
    return m_main && m_main->showFolder(folder, this);
}

void INTE::op2_Click(int index) {
    if (!m_main)
        return;
    if (const auto shown =
            m_main->followFolderOption(index, op2, SavedFolder, m_checkedOption, this))
        ft->setText(withTrailingSeparator(*shown));
}

void INTE::Command2_Click() {
    const QString address = l2->currentText();
    for (int i = 0; i < l2->count(); ++i) {
        if (l2->itemData(i).toString() == address) {
            Command2->setEnabled(false);
            message(this, jp("同じURLが既に保存されています"));
            return;
        }
    }
    if (const Error err = PomiIni(AppDir).append(address); failed(err)) {
        message(this, jp("メインＵＲＬを保存できませんでした。") + errorText(err));
        return;
    }
    addSavedEntry(address);
    Command2->setEnabled(false);
}

void INTE::Command5_Click() {
    L1->clear();
    l2->setEditText(QString());
    Command2->setEnabled(false);
    Command1->setEnabled(false);
}

void INTE::Command3_Click() {
    close();
}

void INTE::closeEvent(QCloseEvent *event) {
    // A download run finishes before the window can go.
    if (m_running) {
        event->ignore();
        return;
    }
    it->Cancel();
    m_closing = true;
    event->accept();
}

void INTE::Command4_Click() {
    if (m_main)
        m_main->m1_3_Click();
}

void INTE::L1_OLEDragDrop(const QMimeData *data) {
    setBusyPointer(this);
    QString address;
    if (holdsText(data))
        address = data->text()
                      .section(QLatin1Char('\n'), 0, 0)
                      .section(QLatin1Char('\r'), 0, 0)
                      .trimmed();
    if (address.isEmpty()) {
        setArrowPointer(this);
        return;
    }
    Command1->setEnabled(false);
    Command2->setEnabled(false);
    l2->setEditText(address);
    URL_ad(address);
}

void INTE::l2_Click() {
    setBusyPointer(this);
    const int index = l2->currentIndex();
    const QString address = l2->currentText();
    Command2->setEnabled(false);
    // An entry longer than the box can hold cannot be taken as the address.
    if (index >= 0 && l2->itemData(index).toString() != address)
        message(this, jp("指定されたＵＲＬは不正です"));
    else
        URL_ad(address);
    setArrowPointer(this);
    Command2->setEnabled(false);
}

void INTE::URL_ad(const QString &address) {
    l3->clear();
    Text3->setText(baseUrlOf(address, Text3->text()));
    if (endsWithJpg(address)) {
        L1->addItem(embeddedAddressCut(address));
        Command1->setEnabled(true);
        Command2->setEnabled(true);
        setArrowPointer(this);
        return;
    }
    const QString base = Text3->text();
    if (it->OpenURL(address) != Ok) {
        setArrowPointer(this);
        return;
    }
    // The page's relative links join the base of this load, whatever later
    // loads leave in Text3 meanwhile.
    m_requestBase = base;
    m_requestPage = address;
    it->Execute(address, QStringLiteral("GET"));
    setArrowPointer(this);
}

void INTE::it_StateChanged(int state) {
    if (m_closing)
        return;
    setBusyPointer(this);
    Command2->setEnabled(false);
    Command1->setEnabled(false);
    static const char *const texts[] = {
        "IP アドレスを調べています。",
        "IP アドレスを見つけました。",
        "接続処理を行っています。",
        "正常に接続しました。",
        "送信しています。",
        "正常に送信しました。",
        "応答を受信しています。",
        "応答を正常に受信しました。",
        "接続を解除しています。",
        "接続を正常に解除しました。",
    };
    if (state >= 1 && state <= 10) {
        Text4->setText(jp(texts[state - 1]));
        return;
    }
    if (state == InternetTransfer::icResponseCompleted) {
        readPage();
        return;
    }
    if (state == InternetTransfer::icError) {
        message(this, jp("通信エラーです。再ロードしてください"));
        it->Cancel();
        setArrowPointer(this);
    }
}

void INTE::readPage() {
    QPointer<INTE> self(this);
    QStringDecoder decoder = pageDecoder(it->responseBody(), it->contentType());
    const QString base = m_requestBase;
    const QString analysing = jp("メインサイドの分析中: ");
    QString page;
    QByteArray piece = it->GetChunk(1024);
    QCoreApplication::processEvents();
    if (!self || m_closing)
        return;
    while (!piece.isEmpty()) {
        QCoreApplication::processEvents();
        if (!self || m_closing)
            return;
        page += decoder.decode(piece);
        piece = it->GetChunk(1024);
        Text4->setText(analysing + QLatin1Char(' ') + QString::number(piece.size()));
    }
    if (!self || m_closing)
        return;
    const LinkScan scan = extractLinks(page, base);
    Text3->setText(scan.baseUrl);
    // Each link remembers its page, which its request names as Referer.
    for (const QString &link : scan.links) {
        auto *item = new QListWidgetItem(link, L1);
        item->setData(Qt::UserRole, m_requestPage);
    }
    sosu->setText(QString::number(L1->count()));
    if (L1->count() > 0) {
        Command2->setEnabled(true);
        Command1->setEnabled(true);
    }
    setArrowPointer(this);
}

void INTE::Command1_Click() {
    if (m_running || !m_main)
        return;
    Command1->setEnabled(false);
    DownloadJob job;
    job.folder = ft->text().isEmpty() ? m_main->tx[0]->text() : ft->text();
    job.numbering = op1[0]->isChecked();
    job.settings = m_main->settingsRecord();
    job.dataFolder = AppDir;
    for (int i = 0; i < L1->count(); ++i)
        job.links.append({L1->item(i)->text(), L1->item(i)->data(Qt::UserRole).toString()});

    m_running = true;
    setBusyPointer(this);
    it->holdStates(true);
    setProgressMaximum(int(job.links.size()) - 1);
    QPointer<INTE> self(this);
    const RunResult result = DownloadRun().run(job, [&](const PictureReport &picture) {
        if (!self || !m_main)
            return false;
        l3->addItem(picture.name +
                    (picture.ok ? QStringLiteral(" --OK") : QStringLiteral(" --ERR-")));
        m_main->tx[2]->setText(picture.number);
        s->setValue(picture.index);
        return true;
    });
    if (!self)
        return;
    m_running = false;
    it->holdStates(false);
    setArrowPointer(this);
    switch (result.end) {
    case RunEnd::Done:
        if (result.failures > 0)
            message(this, QLatin1Char(' ') + QString::number(result.failures) +
                              jp("個のファイルがダウンロードできませんでした"));
        message(this, jp("完了しました。"));
        tidyUp(job.folder);
        break;
    case RunEnd::Unnamed:
    case RunEnd::TypeMismatch:
        message(this, result.end == RunEnd::Unnamed
                          ? jp("連番付するファイル名を入力してください")
                          : jp("連番付するファイル名を正しく入力してください、") +
                                errorText(TypeMismatch));
        it->Cancel();
        enableWhenListed();
        focusMain();
        break;
    case RunEnd::NoPath:
        message(this, jp("ドライブの準備ができません"), MsgButtons::Ok, MsgIcon::Critical);
        break;
    case RunEnd::Clash:
        message(this, job.folder + pathSeparator() + jp("同名ファイルがあります"), MsgButtons::Ok,
                MsgIcon::Critical);
        close();
        break;
    case RunEnd::Failed:
        message(this, errorText(result.err));
        tidyUp(job.folder);
        break;
    case RunEnd::NoLinks:
    case RunEnd::Abandoned:
        break;
    }
}

void INTE::focusMain() {
    if (!m_main)
        return;
    m_main->raise();
    m_main->activateWindow();
}

void INTE::enableWhenListed() {
    if (L1->count() > 0) {
        Command2->setEnabled(true);
        Command1->setEnabled(true);
    }
}

void INTE::setProgressMaximum(int maximum) {
    // A maximum of 0 shows an empty bar, not a busy animation.
    s->setRange(0, maximum > 0 ? maximum : 1);
}

void INTE::tidyUp(const QString &folder) {
    if (!folder.isEmpty())
        showInMain(cleanFolderPath(folder));
    L1->clear();
    l2->setEditText(QString());
    setArrowPointer(this);
    s->setValue(0);
}

} // namespace pomiv
