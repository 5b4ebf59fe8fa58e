// The download run: every listed address into the run's folder, in list
// order, against a local server.

#include "WebTestFixture.h"
#include "platform/FileList.h"
#include "platform/InternetTransfer.h"
#include "settings/SettingsFile.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

using namespace pomiv;
using namespace pomiv::test;

// A body that starts like a JPEG file, numbered so files can be told apart.
static QByteArray picture(int size, int tag = 0) {
    QByteArray body("\xFF\xD8\xFF\xE0");
    body += QByteArray::number(tag) + '|';
    body.append(QByteArray(size - body.size(), 'j'));
    return body;
}

class TestDownload : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void numbered();
    void sizesAndFailures();
    void notPictures();
    void addressNames();
    void unsafeAddressNames();
    void clash_data();
    void clash();
    void missingFolder();
    void inputErrors_data();
    void inputErrors();
    void overflow();
    void emptySaveFolderUsesCurrentFolder();
    void oneAddress();
    void listOrderDespiteAnswerOrder();
    void fetchFailureStopsTheRun();

private:
    INTE *prepare(const QStringList &paths, const QString &prefix = QStringLiteral("A"),
                  const QString &number = QStringLiteral("7"));
    QStringList monitor() const;
    LocalHttpServer server;
    std::unique_ptr<WebFixture> fx;
    INTE *w = nullptr;
    QString folder;
};

void TestDownload::initTestCase() {
    TransferLimits &limits = TransferLimits::current();
    limits.stallMs = 500;
    limits.totalMs = 10000;
}

void TestDownload::init() {
    fx = std::make_unique<WebFixture>();
    folder = fx->dir.path() + QStringLiteral("/save");
    QDir().mkpath(folder);
    server.clearRequests();
}

void TestDownload::cleanup() {
    fx.reset();
}

INTE *TestDownload::prepare(const QStringList &paths, const QString &prefix,
                            const QString &number) {
    w = fx->open();
    fx->main->tx[1]->setText(prefix);
    fx->main->tx[2]->setText(number);
    w->ft->setText(folder + QLatin1Char('/'));
    for (const QString &path : paths)
        w->URL_ad(path.startsWith(QLatin1String("http")) ? path : server.url(path));
    return w;
}

QStringList TestDownload::monitor() const {
    QStringList lines;
    for (int i = 0; i < w->l3->count(); ++i)
        lines.append(w->l3->item(i)->text());
    return lines;
}

static QString settingsNumber() {
    QStringList fields;
    readSettings(&fields);
    return fields.value(3);
}

void TestDownload::numbered() {
    server.answer("/p/x.jpg", HttpAnswer::page(picture(20000, 1), "image/jpeg"));
    server.answer("/p/y.jpg", HttpAnswer::page(picture(20000, 2), "image/jpeg"));
    prepare({"/p/x.jpg", "/p/y.jpg"}, "A", "007");
    w->l2->setEditText(QStringLiteral("http://h/page.html"));
    w->Command1->click();
    QCOMPARE(filesIn(folder), (QStringList{"A7.jpg", "A8.jpg"}));
    QCOMPARE(readFile(folder + "/A7.jpg"), picture(20000, 1));
    QCOMPARE(readFile(folder + "/A8.jpg"), picture(20000, 2));
    QCOMPARE(monitor(), (QStringList{"x.jpg --OK", "y.jpg --OK"}));
    QCOMPARE(fx->main->tx[2]->text(), QStringLiteral("9"));
    QCOMPARE(settingsNumber(), QStringLiteral("9"));
    QCOMPARE(fx->messages.get()->texts(), QStringList{QStringLiteral("完了しました。")});
    // Tidy-up: list and main URL box emptied, main window on the folder.
    QCOMPARE(w->L1->count(), 0);
    QCOMPARE(w->l2->currentText(), QString());
    QCOMPARE(w->s->value(), 0);
    QCOMPARE(fx->main->d3->path(), folder);
    QVERIFY(!w->Command1->isEnabled());
    QVERIFY(!w->isRunning());
}

void TestDownload::sizesAndFailures() {
    server.answer("/s/a.jpg", HttpAnswer::page(picture(9999), "image/jpeg"));
    server.answer("/s/b.jpg", HttpAnswer::page(picture(10000), "image/jpeg"));
    server.answer("/s/c.jpg", HttpAnswer::page(picture(12000), "image/jpeg"));
    server.answer("/s/d.jpg", HttpAnswer::page(picture(100), "image/jpeg"));
    server.answer("/s/e.jpg", HttpAnswer::page(picture(30000), "image/jpeg"));
    prepare({"/s/a.jpg", "/s/b.jpg", "/s/c.jpg", "/s/d.jpg", "/s/e.jpg"}, "B", "1");
    w->Command1_Click();
    QCOMPARE(filesIn(folder), (QStringList{"B1.jpg", "B2.jpg", "B3.jpg"}));
    QCOMPARE(readFile(folder + "/B1.jpg").size(), 10000);
    QCOMPARE(monitor(), (QStringList{"a.jpg --ERR-", "b.jpg --OK", "c.jpg --OK", "d.jpg --ERR-",
                                     "e.jpg --OK"}));
    QCOMPARE(fx->messages.get()->texts(),
             (QStringList{QStringLiteral(" 2個のファイルがダウンロードできませんでした"),
                          QStringLiteral("完了しました。")}));
    QCOMPARE(fx->main->tx[2]->text(), QStringLiteral("4"));
}

void TestDownload::notPictures() {
    // HTML under a .jpg address, and an error answer that looks like a JPEG.
    QByteArray html = "<html>" + QByteArray(50 * 1024, 'h') + "</html>";
    server.answer("/n/page.jpg", HttpAnswer::page(html, "text/html"));
    HttpAnswer missing = HttpAnswer::page(picture(20000), "image/jpeg");
    missing.status = 404;
    server.answer("/n/gone.jpg", missing);
    server.answer("/n/good.jpg", HttpAnswer::page(picture(20000), "image/jpeg"));
    prepare({"/n/page.jpg", "/n/gone.jpg", "/n/good.jpg"}, "C", "1");
    w->Command1_Click();
    QCOMPARE(filesIn(folder), QStringList{"C1.jpg"});
    QCOMPARE(monitor(), (QStringList{"page.jpg --ERR-", "gone.jpg --ERR-", "good.jpg --OK"}));
}

void TestDownload::addressNames() {
    server.answer("/p/photo.jpg", HttpAnswer::page(picture(20000), "image/jpeg"));
    prepare({"/p/photo.jpg"}, "A", "007");
    w->op1[1]->click();
    w->Command1_Click();
    QCOMPARE(filesIn(folder), QStringList{"photo.jpg"});
    QCOMPARE(fx->main->tx[2]->text(), QStringLiteral("007"));
    QCOMPARE(settingsNumber(), QStringLiteral("007"));
    QCOMPARE(monitor(), QStringList{"photo.jpg --OK"});
}

void TestDownload::unsafeAddressNames() {
    // Addresses that try to leave the folder or use names file systems
    // refuse: every file lands in the folder itself.
    // The request goes to the address as the network layer resolves it.
    server.answer("/u/dots.jpg", HttpAnswer::page(picture(20000, 1), "image/jpeg"));
    server.answer("/u/..%5C..%5Cback.jpg", HttpAnswer::page(picture(20000, 4), "image/jpeg"));
    server.answer("/u/a%2F..%2Fpct.jpg", HttpAnswer::page(picture(20000, 2), "image/jpeg"));
    server.answer("/u/q?x=1&y=a%7Cb.jpg", HttpAnswer::page(picture(20000, 3), "image/jpeg"));
    const QStringList addresses{server.url("/u/a/../dots.jpg"), server.url("/u/a%2F..%2Fpct.jpg"),
                                server.url("/u/q?x=1&y=a|b.jpg"),
                                server.url("/u/") + QStringLiteral("..\\..\\back.jpg")};
    prepare(addresses, "A", "1");
    w->op1[1]->click();
    w->Command1_Click();
    QCOMPARE(filesIn(folder),
             (QStringList{".._.._back.jpg", "a%2F..%2Fpct.jpg", "dots.jpg", "q_x=1&y=a_b.jpg"}));
    QCOMPARE(filesIn(fx->dir.path()), QStringList{});
    QCOMPARE(monitor().size(), 4);
    // The monitor shows the address name itself.
    QCOMPARE(monitor().at(2), QStringLiteral("q?x=1&y=a|b.jpg --OK"));
}

void TestDownload::clash_data() {
    QTest::addColumn<bool>("byAddress");
    QTest::addColumn<QString>("existing");
    QTest::newRow("numbered, same name") << false << "A8.jpg";
    QTest::newRow("numbered, other case") << false << "a8.JPG";
    QTest::newRow("address name, same name") << true << "y.jpg";
    QTest::newRow("address name, other case") << true << "Y.jpg";
}

void TestDownload::clash() {
    QFETCH(bool, byAddress);
    QFETCH(QString, existing);
    server.answer("/c/x.jpg", HttpAnswer::page(picture(20000, 1), "image/jpeg"));
    server.answer("/c/y.jpg", HttpAnswer::page(picture(20000, 2), "image/jpeg"));
    server.answer("/c/z.jpg", HttpAnswer::page(picture(20000, 3), "image/jpeg"));
    writeFile(folder + QLatin1Char('/') + existing, "the user's own file");
    prepare({"/c/x.jpg", "/c/y.jpg", "/c/z.jpg"}, "A", "7");
    if (byAddress)
        w->op1[1]->click();
    QPointer<INTE> guard(w);
    w->Command1_Click();
    QCOMPARE(readFile(folder + QLatin1Char('/') + existing), QByteArray("the user's own file"));
    QCOMPARE(filesIn(folder).size(), 2); // the first file stays
    QCOMPARE(fx->messages.get()->shown().size(), 1);
    QCOMPARE(fx->messages.get()->shown().first().text,
             folder + QStringLiteral("//同名ファイルがあります"));
    QCOMPARE(fx->messages.get()->shown().first().icon, MsgIcon::Critical);
    QTRY_VERIFY(!guard); // the window closes
    QCOMPARE(fx->main->tx[2]->text(), byAddress ? QStringLiteral("7") : QStringLiteral("8"));
}

void TestDownload::missingFolder() {
    server.answer("/m/x.jpg", HttpAnswer::page(picture(20000), "image/jpeg"));
    prepare({"/m/x.jpg"});
    w->ft->setText(fx->dir.path() + QStringLiteral("/gone/"));
    w->Command1_Click();
    QCOMPARE(fx->messages.get()->shown().size(), 1);
    QCOMPARE(fx->messages.get()->shown().first().text,
             QStringLiteral("ドライブの準備ができません"));
    QCOMPARE(fx->messages.get()->shown().first().icon, MsgIcon::Critical);
    QCOMPARE(w->L1->count(), 1); // links stay
    QVERIFY(!w->Command1->isEnabled());
    QVERIFY(w->isVisible());
    QVERIFY(!QFileInfo::exists(fx->dir.path() + QStringLiteral("/gone")));
}

void TestDownload::inputErrors_data() {
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("text");
    const QString empty = QStringLiteral("連番付するファイル名を入力してください");
    const QString wrong =
        QStringLiteral("連番付するファイル名を正しく入力してください、型が一致しません。");
    QTest::newRow("empty prefix") << ""
                                  << "1" << empty;
    QTest::newRow("empty number") << "A"
                                  << "" << empty;
    QTest::newRow("letters") << "A"
                             << "abc" << wrong;
    QTest::newRow("fraction") << "A"
                              << "1.5" << wrong;
    QTest::newRow("thousands") << "A"
                               << "1,000" << wrong;
}

void TestDownload::inputErrors() {
    QFETCH(QString, prefix);
    QFETCH(QString, number);
    QFETCH(QString, text);
    server.answer("/i/x.jpg", HttpAnswer::page(picture(20000), "image/jpeg"));
    prepare({"/i/x.jpg"}, prefix, number);
    w->op1[1]->click(); // the fields are needed in either mode
    w->Command1_Click();
    QCOMPARE(fx->messages.get()->texts(), QStringList{text});
    QVERIFY(w->Command1->isEnabled());
    QVERIFY(w->Command2->isEnabled());
    QCOMPARE(w->L1->count(), 1);
    QCOMPARE(server.requests(), QStringList{});
    QCOMPARE(filesIn(folder), QStringList{});
}

void TestDownload::overflow() {
    server.answer("/o/x.jpg", HttpAnswer::page(picture(20000), "image/jpeg"));
    prepare({"/o/x.jpg"}, "A", "2147483648");
    w->Command1_Click();
    QCOMPARE(fx->messages.get()->texts(), QStringList{QStringLiteral("オーバーフローしました。")});
    QCOMPARE(w->L1->count(), 0); // tidied up as after any other failure
    QCOMPARE(server.requests(), QStringList{});
}

void TestDownload::emptySaveFolderUsesCurrentFolder() {
    server.answer("/e/x.jpg", HttpAnswer::page(picture(20000), "image/jpeg"));
    prepare({"/e/x.jpg"});
    w->ft->clear();
    fx->main->tx[0]->setText(folder);
    w->Command1_Click();
    QCOMPARE(filesIn(folder), QStringList{"A7.jpg"});
}

void TestDownload::oneAddress() {
    server.answer("/one/x.jpg", HttpAnswer::page(picture(20000), "image/jpeg"));
    prepare({"/one/x.jpg"});
    int maximumSeen = -1;
    connect(w->s, &QProgressBar::valueChanged, w,
            [&maximumSeen, this] { maximumSeen = w->s->maximum(); });
    w->Command1_Click();
    QCOMPARE(filesIn(folder), QStringList{"A7.jpg"});
    // A maximum of 0 shows an empty bar, never the busy animation.
    QVERIFY(w->s->maximum() > 0);
    QVERIFY(maximumSeen != 0);
}

void TestDownload::listOrderDespiteAnswerOrder() {
    QStringList paths;
    for (int i = 0; i < 12; ++i) {
        HttpAnswer a = HttpAnswer::page(picture(15000, i), "image/jpeg");
        a.delayMs = (12 - i) * 15; // later addresses answer sooner
        const QString path = QStringLiteral("/order/%1.jpg").arg(i);
        server.answer(path, a);
        paths.append(path);
    }
    prepare(paths, "N", "1");
    w->Command1_Click();
    QCOMPARE(filesIn(folder).size(), 12);
    for (int i = 0; i < 12; ++i)
        QCOMPARE(readFile(folder + QStringLiteral("/N%1.jpg").arg(i + 1)), picture(15000, i));
    QStringList expected;
    for (int i = 0; i < 12; ++i)
        expected.append(QStringLiteral("%1.jpg --OK").arg(i));
    QCOMPARE(monitor(), expected);
}

void TestDownload::fetchFailureStopsTheRun() {
    HttpAnswer silent;
    silent.never = true;
    server.answer("/f/1.jpg", HttpAnswer::page(picture(20000, 1), "image/jpeg"));
    server.answer("/f/2.jpg", silent);
    server.answer("/f/3.jpg", HttpAnswer::page(picture(20000, 3), "image/jpeg"));
    prepare({"/f/1.jpg", "/f/2.jpg", "/f/3.jpg"}, "F", "1");
    w->Command1_Click();
    QCOMPARE(filesIn(folder), QStringList{"F1.jpg"});
    QCOMPARE(monitor(), QStringList{"1.jpg --OK"});
    QCOMPARE(fx->messages.get()->texts(), QStringList{netErrorText(NetTimeout)});
    QCOMPARE(fx->main->tx[2]->text(), QStringLiteral("2"));
    QCOMPARE(settingsNumber(), QStringLiteral("2"));
    QCOMPARE(w->L1->count(), 0);
    QCOMPARE(fx->main->d3->path(), folder);
}

QTEST_MAIN(TestDownload)
#include "tst_download.moc"
