// The download window: its controls, start-up, save-folder choice, saved
// main URLs, and the loading of pages and their links from a local server.

#include "WebTestFixture.h"
#include "platform/FileList.h"
#include "platform/FolderList.h"
#include "platform/InternetTransfer.h"
#include "platform/Ui.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStringEncoder>

using namespace pomiv;
using namespace pomiv::test;

static QByteArray encode(const char *codec, const QString &text) {
    QStringEncoder encoder(codec);
    return encoder.encode(text);
}

class TestINTE : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void controls();
    void startUp_data();
    void startUp();
    void hugeAndBinaryFile();
    void oneWindow();
    void saveFolderSequence();
    void saveFolderUnavailable();
    void saveMainUrl();
    void saveMainUrlFailure();
    void clear();
    void dropPictureAddress_data();
    void dropPictureAddress();
    void dropRefusedAddresses_data();
    void dropRefusedAddresses();
    void pickLoadsPage();
    void pagesInEncodings_data();
    void pagesInEncodings();
    void errorAnswerIsScanned();
    void neverAnswers();
    void stallReportsError();
    void baseOfTheOwnLoad();
    void exitWhileReading_data();
    void exitWhileReading();

private:
    LocalHttpServer server;
};

void TestINTE::initTestCase() {
    TransferLimits &limits = TransferLimits::current();
    limits.stallMs = 500;
    limits.totalMs = 10000;
}

void TestINTE::controls() {
    WebFixture fx;
    INTE *w = fx.open();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("インターネットの画像"));
    QCOMPARE(w->size(), QSize(px(8970), px(5880)));
    QCOMPARE(w->Command1->text(), QStringLiteral("画像のダウンロード"));
    QCOMPARE(w->Command1->toolTip(),
             QStringLiteral("リストのサイドから画像をダウンロードします。"));
    QVERIFY(!w->Command1->isEnabled());
    QCOMPARE(w->Command2->text(), QStringLiteral("メインＵＲＬの保存"));
    QCOMPARE(w->Command2->toolTip(), QStringLiteral("メインサイドを保存します"));
    QVERIFY(!w->Command2->isEnabled());
    QCOMPARE(w->Command3->text(), QStringLiteral("終了"));
    QCOMPARE(w->Command4->toolTip(), QStringLiteral("保存しているメインサイトを選択して削除"));
    QCOMPARE(w->Command5->text(), QStringLiteral("クリア"));
    QCOMPARE(w->Command5->toolTip(), QStringLiteral("メインサイドのダウンロード中止"));
    QCOMPARE(w->l2->toolTip(), QStringLiteral("保存しているメインサイドからロードします"));
    QCOMPARE(w->Frame2->title(), QStringLiteral("保存先フォルダ"));
    QCOMPARE(w->op2[2]->text(), QStringLiteral("現在のフォルダ"));
    QVERIFY(w->op2[2]->isChecked());
    QCOMPARE(w->op1[1]->text(), QStringLiteral("元のファイル名を使います"));
    QVERIFY(w->op1[0]->isChecked());
    QCOMPARE(w->Label7->text(), QStringLiteral("ダウンロードモニター"));
    QCOMPARE(w->Label4->text(),
             QStringLiteral("注意：") + QString(44, QChar(0x3000)) +
                 QStringLiteral(
                     "ダウンロードできるのは画像ファイルに直接リンクをしているページのみです。"
                     "リストで表示していてもダウンロードできないファイルがあります。"));
    QCOMPARE(w->Command1->geometry(), twipsRect(120, 120, 1815, 495));
    QCOMPARE(w->L1->geometry(), twipsRect(120, 1680, 5775, 2580));
    QCOMPARE(w->ft->geometry(), twipsRect(120, 240, 2415, 255));
    QVERIFY(w->Command3->font().bold());
    QCOMPARE(w->Command3->font().pointSizeF(), 12.0);
    QCOMPARE(w->L1->palette().color(QPalette::Base), QColor(255, 255, 192));
    QCOMPARE(w->sosu->palette().color(QPalette::Window), QColor(255, 255, 128));
    QCOMPARE(w->palette().color(QPalette::Window), QColor(0, 192, 192));
    // Text3 lies below the client area.
    QVERIFY(w->Text3->geometry().top() >= w->height());
    QCOMPARE(w->s->value(), 0);
    const QString build = qEnvironmentVariable("POMIV_BUILD_DIR");
    if (!build.isEmpty())
        QVERIFY(w->grab().save(build + QStringLiteral("/INTE.png")));
}

void TestINTE::startUp_data() {
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<bool>("folderSet");

    QTest::newRow("two entries") << true << QByteArray("\"http://h/b.html\"\r\n\"http://c/\"\r\n")
                                 << QStringList{"http://h/b.html", "http://c/"} << true;
    QTest::newRow("missing file") << false << QByteArray() << QStringList{} << false;
    QTest::newRow("short line stops")
        << true << QByteArray("\"a\"\r\n\r\n\"b\"\r\n") << QStringList{"a"} << false;
}

void TestINTE::startUp() {
    QFETCH(bool, exists);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, entries);
    QFETCH(bool, folderSet);
    WebFixture fx;
    if (exists)
        writeFile(fx.pomiIni(), bytes);
    INTE *w = fx.open();
    QVERIFY(w);
    QStringList listed;
    for (int i = 0; i < w->l2->count(); ++i)
        listed.append(w->l2->itemText(i));
    QCOMPARE(listed, entries);
    QCOMPARE(w->l2->currentText(), QString());
    QCOMPARE(w->ft->text(), folderSet ? fx.startFolder + QLatin1Char('/') : QString());
    QVERIFY(QFileInfo::exists(fx.pomiIni()));
    QCOMPARE(fx.messages.get()->shown().size(), 0);
}

void TestINTE::hugeAndBinaryFile() {
    WebFixture fx;
    QByteArray huge(50 * 1024 * 1024, 'a');
    huge[0] = '"';
    huge[huge.size() - 1] = '"';
    QByteArray junk;
    for (int i = 1; i < 256; ++i)
        junk.append(char(i == 10 || i == 13 ? 'x' : i));
    writeFile(fx.pomiIni(), huge + "\r\n" + junk + "\r\n\"http://h/\"\r\n");
    INTE *w = fx.open();
    QVERIFY(w);
    QCOMPARE(w->l2->count(), 3);
    QCOMPARE(w->l2->itemText(2), QStringLiteral("http://h/"));
    // The long entry cannot be taken whole as an address.
    w->l2->setCurrentIndex(0);
    w->l2_Click();
    QCOMPARE(fx.messages.get()->texts(), QStringList{QStringLiteral("指定されたＵＲＬは不正です")});
    QCOMPARE(w->L1->count(), 0);
    QVERIFY(!w->it->StillExecuting());
}

void TestINTE::oneWindow() {
    WebFixture fx;
    INTE *w = fx.open();
    QVERIFY(w);
    fx.main->INTB_Click();
    QCOMPARE(WebFixture::windows().size(), 1);
    QCOMPARE(WebFixture::windows().first(), w);
    // Closed, it is built afresh and reads the file again.
    QPointer<INTE> old(w);
    writeFile(fx.pomiIni(), "\"http://n/\"\r\n");
    w->Command3_Click();
    QTRY_VERIFY(!old);
    INTE *again = fx.open();
    QVERIFY(again);
    QCOMPARE(again->l2->count(), 1);
}

void TestINTE::saveFolderSequence() {
    WebFixture fx;
    INTE *w = fx.open();
    QVERIFY(w);
    QCOMPARE(fx.main->d3->path(), fx.startFolder);
    w->op2[0]->click();
    QCOMPARE(w->ft->text(), fx.mainFolder + QLatin1Char('/'));
    QCOMPARE(fx.main->d3->path(), fx.mainFolder);
    QCOMPARE(fx.main->d2->path(), fx.mainFolder);
    QCOMPARE(w->op2[2]->text(), QStringLiteral("元のフォルダ"));
    w->op2[1]->click();
    QCOMPARE(w->ft->text(), fx.destFolder + QLatin1Char('/'));
    QCOMPARE(fx.main->d3->path(), fx.destFolder);
    QCOMPARE(w->SavedFolder, fx.startFolder);
    w->op2[2]->click();
    QCOMPARE(fx.main->d3->path(), fx.startFolder);
    QCOMPARE(w->ft->text(), fx.startFolder + QLatin1Char('/'));
    QCOMPARE(w->op2[2]->text(), QStringLiteral("現在のフォルダ"));
    QVERIFY(w->SavedFolder.isEmpty());
    // Nothing remembered: nothing changes.
    w->ft->setText(QStringLiteral("kept"));
    w->op2_Click(2);
    QCOMPARE(w->ft->text(), QStringLiteral("kept"));
    QCOMPARE(fx.main->d3->path(), fx.startFolder);
}

void TestINTE::saveFolderUnavailable() {
    WebFixture fx;
    INTE *w = fx.open();
    QVERIFY(w);
    const QString before = w->ft->text();
    // A main folder that no longer exists: nothing changes, no message.
    MainFolder = fx.dir.path() + QStringLiteral("/gone");
    w->op2[0]->click();
    QCOMPARE(w->ft->text(), before);
    QCOMPARE(fx.main->d3->path(), fx.startFolder);
    QVERIFY(w->op2[2]->isChecked());
    QCOMPARE(w->op2[2]->text(), QStringLiteral("現在のフォルダ"));
    QVERIFY(w->SavedFolder.isEmpty());
    QCOMPARE(fx.messages.get()->shown().size(), 0);
    // A destination folder on a drive that is not ready.
    VolumesOverride volumes({fx.destFolder});
    volumes->notReady.insert(fx.destFolder);
    w->op2[1]->click();
    QCOMPARE(fx.messages.get()->texts(),
             QStringList{QStringLiteral("ドライブの準備ができていません")});
    QCOMPARE(w->ft->text(), before);
    QVERIFY(w->op2[2]->isChecked());
}

void TestINTE::saveMainUrl() {
    WebFixture fx;
    writeFile(fx.pomiIni(), "\"http://h/B.html\"\r\n");
    INTE *w = fx.open();
    QVERIFY(w);
    w->l2->setEditText(QStringLiteral("http://h/b.html"));
    w->Command2->setEnabled(true);
    w->Command2->click();
    QCOMPARE(readFile(fx.pomiIni()), QByteArray("\"http://h/B.html\"\r\n\"http://h/b.html\"\r\n"));
    QCOMPARE(w->l2->count(), 2);
    QCOMPARE(w->l2->itemText(1), QStringLiteral("http://h/b.html"));
    QCOMPARE(w->l2->currentText(), QStringLiteral("http://h/b.html"));
    QVERIFY(!w->Command2->isEnabled());
    // The same text again is refused.
    w->Command2->setEnabled(true);
    w->Command2->click();
    QCOMPARE(fx.messages.get()->texts(),
             QStringList{QStringLiteral("同じURLが既に保存されています")});
    QCOMPARE(readFile(fx.pomiIni()), QByteArray("\"http://h/B.html\"\r\n\"http://h/b.html\"\r\n"));
    QVERIFY(!w->Command2->isEnabled());
    QCOMPARE(w->l2->count(), 2);
    // Saved in one window, offered at the next opening.
    w->Command3_Click();
    QTRY_COMPARE(WebFixture::windows().size(), 0);
    INTE *again = fx.open();
    QCOMPARE(again->l2->count(), 2);
}

void TestINTE::saveMainUrlFailure() {
    WebFixture fx;
    INTE *w = fx.open();
    QVERIFY(w);
    AppDir = fx.dir.path() + QStringLiteral("/nowhere/");
    w->l2->setEditText(QStringLiteral("http://h/"));
    w->Command2_Click();
    QCOMPARE(fx.messages.get()->shown().size(), 1);
    QVERIFY(fx.messages.get()->texts().first().startsWith(
        QStringLiteral("メインＵＲＬを保存できませんでした。")));
    QCOMPARE(w->l2->count(), 0);
}

void TestINTE::clear() {
    WebFixture fx;
    INTE *w = fx.open();
    w->URL_ad(QStringLiteral("http://h/p/z.jpg"));
    w->l3->addItem(QStringLiteral("kept"));
    w->Text4->setText(QStringLiteral("kept"));
    w->l2->setEditText(QStringLiteral("http://h/p/z.jpg"));
    w->Command5->click();
    QCOMPARE(w->L1->count(), 0);
    QCOMPARE(w->l2->currentText(), QString());
    QVERIFY(!w->Command1->isEnabled());
    QVERIFY(!w->Command2->isEnabled());
    QCOMPARE(w->l3->count(), 1);
    QCOMPARE(w->Text4->text(), QStringLiteral("kept"));
}

void TestINTE::dropPictureAddress_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("listed");
    QTest::newRow("plain") << "http://h/p/z.jpg"
                           << "http://h/p/z.jpg"
                           << "http://h/p/z.jpg";
    QTest::newRow("embedded") << "http://x/r?u=http://h/z.jpg"
                              << "http://x/r?u=http://h/z.jpg"
                              << "http://h/z.jpg";
    QTest::newRow("first line only") << "  http://h/a.jpg \r\nsecond line\n"
                                     << "http://h/a.jpg"
                                     << "http://h/a.jpg";
}

void TestINTE::dropPictureAddress() {
    QFETCH(QString, text);
    QFETCH(QString, box);
    QFETCH(QString, listed);
    WebFixture fx;
    INTE *w = fx.open();
    server.clearRequests();
    QMimeData data;
    data.setText(text);
    w->l3->addItem(QStringLiteral("old"));
    w->L1_OLEDragDrop(&data);
    QCOMPARE(w->l2->currentText(), box);
    QCOMPARE(w->L1->count(), 1);
    QCOMPARE(w->L1->item(0)->text(), listed);
    QVERIFY(w->Command1->isEnabled());
    QVERIFY(w->Command2->isEnabled());
    QCOMPARE(w->l3->count(), 0);
    QCOMPARE(w->sosu->text(), QString()); // only a page's scan counts
    QCOMPARE(server.requests(), QStringList());
}

void TestINTE::dropRefusedAddresses_data() {
    QTest::addColumn<QString>("address");
    QTest::newRow("file") << "file:///etc/passwd";
    QTest::newRow("bare word") << "index";
    QTest::newRow("ftp") << "ftp://127.0.0.1/a.html";
}

void TestINTE::dropRefusedAddresses() {
    QFETCH(QString, address);
    WebFixture fx;
    INTE *w = fx.open();
    QMimeData data;
    data.setText(address);
    w->L1_OLEDragDrop(&data);
    QTest::qWait(100);
    QCOMPARE(w->L1->count(), 0);
    QCOMPARE(fx.messages.get()->shown().size(), 0);
    QVERIFY(!w->it->StillExecuting());
    QVERIFY(!w->Command1->isEnabled());
    // Data without text is ignored.
    QMimeData empty;
    w->L1_OLEDragDrop(&empty);
    QCOMPARE(w->l2->currentText(), address);
}

void TestINTE::pickLoadsPage() {
    server.answer("/d/index.html",
                  HttpAnswer::page("<a href=\"pic/a.jpg\">a</a><A HREF=\"/img/b.jpg\">b</A>"
                                   "<a href=\"x.html\">x</a><img src=\"c.jpg\">"));
    WebFixture fx;
    writeFile(fx.pomiIni(), ("\"" + server.url("/d/index.html") + "\"\r\n").toUtf8());
    INTE *w = fx.open();
    w->URL_ad(QStringLiteral("http://other/first.jpg"));
    w->l2->setCurrentIndex(0);
    w->l2_Click();
    QTRY_COMPARE(w->sosu->text(), QStringLiteral("3"));
    const QString base = server.url("/d/");
    QCOMPARE(w->L1->count(), 3);
    QCOMPARE(w->L1->item(1)->text(), base + QStringLiteral("pic/a.jpg"));
    QCOMPARE(w->L1->item(2)->text(), base + QStringLiteral("img/b.jpg"));
    QCOMPARE(w->Text3->text(), base);
    QVERIFY(w->Command1->isEnabled());
    QVERIFY(w->Command2->isEnabled());
    QCOMPARE(w->Text4->text(), QStringLiteral("メインサイドの分析中:  0"));
    QCOMPARE(server.requests().count("/d/index.html"), 1);
    QCOMPARE(fx.messages.get()->shown().size(), 0);
}

void TestINTE::pagesInEncodings_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");

    // The Japanese link lies across byte 1024, whatever the encoding.
    const QString link = QStringLiteral("写真/花.jpg");
    const auto page = [&](const char *codec, const QByteArray &head) {
        QByteArray body = head + "<p>";
        const QByteArray tail =
            encode(codec, QStringLiteral("<a href=\"") + link + QStringLiteral("\">花</a>"));
        // "<a href=\"" is 9 bytes; the first ideograph starts at 1023.
        body.append(QByteArray(1023 - 9 - body.size(), ' '));
        body.append(tail);
        return body;
    };
    QTest::newRow("UTF-8 undeclared") << page("UTF-8", "") << QByteArray("text/html");
    QTest::newRow("Shift_JIS undeclared") << page("Shift_JIS", "") << QByteArray("text/html");
    QTest::newRow("Shift_JIS in the header")
        << page("Shift_JIS", "") << QByteArray("text/html; charset=Shift_JIS");
    QTest::newRow("EUC-JP in the header")
        << page("EUC-JP", "") << QByteArray("text/html; charset=EUC-JP");
    QTest::newRow("EUC-JP in a meta tag")
        << page("EUC-JP",
                "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">")
        << QByteArray("text/html");
    QTest::newRow("UTF-8 in a meta tag")
        << page("UTF-8", "<meta charset=\"utf-8\">") << QByteArray("text/html");
}

void TestINTE::pagesInEncodings() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    const QString path = QStringLiteral("/enc/%1.html")
                             .arg(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_'));
    server.answer(path, HttpAnswer::page(body, contentType));
    WebFixture fx;
    INTE *w = fx.open();
    QMimeData data;
    data.setText(server.url(path));
    w->L1_OLEDragDrop(&data);
    QTRY_COMPARE(w->sosu->text(), QStringLiteral("1"));
    QCOMPARE(w->L1->item(0)->text(), server.url(QStringLiteral("/enc/写真/花.jpg")));
}

void TestINTE::errorAnswerIsScanned() {
    HttpAnswer missing = HttpAnswer::page("<a href=\"gone.jpg\">");
    missing.status = 404;
    server.answer("/e/404.html", missing);
    WebFixture fx;
    INTE *w = fx.open();
    w->URL_ad(server.url("/e/404.html"));
    QTRY_COMPARE(w->sosu->text(), QStringLiteral("1"));
    QCOMPARE(w->L1->item(0)->text(), server.url("/e/gone.jpg"));
}

void TestINTE::neverAnswers() {
    HttpAnswer silent;
    silent.never = true;
    server.answer("/never.html", silent);
    WebFixture fx;
    INTE *w = fx.open();
    w->URL_ad(server.url("/never.html"));
    // The load ends quietly: nothing listed, no message, nothing in progress.
    QCOMPARE(fx.messages.get()->shown().size(), 0);
    QCOMPARE(w->L1->count(), 0);
    QVERIFY(!w->it->StillExecuting());
}

void TestINTE::stallReportsError() {
    HttpAnswer stall = HttpAnswer::page(QByteArray(4000, 'x'));
    stall.stallAfter = 10;
    server.answer("/stall.html", stall);
    WebFixture fx;
    INTE *w = fx.open();
    w->URL_ad(server.url("/stall.html"));
    QTRY_COMPARE(fx.messages.get()->texts(),
                 QStringList{QStringLiteral("通信エラーです。再ロードしてください")});
    QVERIFY(!w->Command1->isEnabled());
    QVERIFY(!w->it->StillExecuting());
    QCOMPARE(w->L1->count(), 0);
}

void TestINTE::baseOfTheOwnLoad() {
    HttpAnswer slow = HttpAnswer::page("<a href=\"a.jpg\">");
    slow.bodyDelayMs = 300;
    server.answer("/own/index.html", slow);
    server.answer("/second/index.html", HttpAnswer::page("<a href=\"b.jpg\">"));
    WebFixture fx;
    INTE *w = fx.open();
    server.clearRequests();
    w->URL_ad(server.url("/own/index.html"));
    // While the page comes: a picture address and a second page dropped.
    QMimeData picture;
    picture.setText(QStringLiteral("http://elsewhere/x/y.jpg"));
    w->L1_OLEDragDrop(&picture);
    QMimeData second;
    second.setText(server.url("/second/index.html"));
    w->L1_OLEDragDrop(&second);
    QCOMPARE(w->Text3->text(), server.url("/second/"));
    QTRY_COMPARE(w->sosu->text(), QStringLiteral("2"));
    QCOMPARE(w->L1->item(0)->text(), QStringLiteral("http://elsewhere/x/y.jpg"));
    QCOMPARE(w->L1->item(1)->text(), server.url("/own/a.jpg"));
    // The second page was refused: never asked for.
    QCOMPARE(server.requests(), QStringList{QStringLiteral("/own/index.html")});
}

void TestINTE::exitWhileReading_data() {
    // The status text changes at the first piece, at the short last one,
    // and when nothing is left.
    QTest::addColumn<int>("at");
    QTest::newRow("first piece") << 1;
    QTest::newRow("last piece") << 3;
}

void TestINTE::exitWhileReading() {
    QFETCH(int, at);
    QByteArray body;
    for (int i = 0; i < 300; ++i)
        body += "<a href=\"p" + QByteArray::number(i) + ".jpg\">........................</a>\n";
    server.answer("/long.html", HttpAnswer::page(body));
    WebFixture fx;
    INTE *w = fx.open();
    QPointer<INTE> guard(w);
    int inserted = 0;
    connect(w->L1->model(), &QAbstractItemModel::rowsInserted, w, [&inserted] { ++inserted; });
    int pieces = 0;
    connect(w->Text4, &QLineEdit::textChanged, w, [&pieces, w, at](const QString &text) {
        if (text.startsWith(QStringLiteral("メインサイドの分析中")) && ++pieces == at)
            w->Command3->click(); // the user presses Exit between two pieces
    });
    w->URL_ad(server.url("/long.html"));
    QTRY_VERIFY(!guard);
    QCOMPARE(pieces, at);
    QCOMPARE(inserted, 0);
    QCOMPARE(fx.messages.get()->shown().size(), 0);
}

QTEST_MAIN(TestINTE)
#include "tst_inte.moc"
