// The download window, its download run and the saved-URL organiser,
// against a local server.

#include "LocalHttpServer.h"
#include "app/pmvmin.h"
#include "platform/Errors.h"
#include "platform/FileList.h"
#include "platform/InternetTransfer.h"
#include "platform/Volumes.h"
#include "settings/SettingsFile.h"
#include "settings/Shared.h"
#include "tests/support/TestSupport.h"
#include "web/INTE.h"
#include "web/PomiIni.h"
#include "web/URLs.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace pomiv;
using namespace pomiv::test;

// The texts of a list or combo box, in order.
template <typename W> QStringList items(const W *w) {
    QStringList texts;
    for (int i = 0; i < w->model()->rowCount(); ++i)
        texts.append(w->model()->index(i, 0).data().toString());
    return texts;
}

// The one visible window of this type, or none.
template <typename W> W *only() {
    QList<W *> found;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<W *>(top); window && window->isVisible())
            found.append(window);
    return found.size() == 1 ? found.first() : nullptr;
}

struct Drop {
    QString text{}, box{};
    QStringList listed{};
    bool asked = false; // a request goes out
    QStringList messages{};
};

struct Load {
    HttpAnswer answer{};
    QStringList links{}; // relative to the page's folder
};

// A body that starts like a JPEG file, numbered so files can be told apart.
static QByteArray picture(int size, int tag = 0) {
    const QByteArray head = "\xFF\xD8\xFF\xE0" + QByteArray::number(tag) + '|';
    return head + QByteArray(size - head.size(), 'j');
}

static HttpAnswer jpeg(int size, int tag = 0, int status = 200) {
    return {.body = picture(size, tag), .type = "image/jpeg", .status = status};
}

static QString settingsNumber() {
    QStringList fields;
    readSettings(&fields);
    return fields.value(3);
}

// A run refused.
struct Refusal {
    QString prefix = "A", number = "7", text{};
    QString folder = "save/";
    int linksLeft = 1;
    MsgIcon icon = MsgIcon::None;
};

// What the user does before leaving the window.
enum Leave { Update, Cancel, CloseBox };

struct Edit {
    QByteArray before{}; // none: no file
    QStringList shown{};
    QList<int> deletions{}; // rows selected and deleted; -1: none selected
    Leave leave{};
    QByteArray after{};
};

class TestWebWindows : public QObject {
    Q_OBJECT
    LocalHttpServer server;
    // Each test's own program folder, main window and message boxes.
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MessageRecorder> messages;
    std::unique_ptr<pmvmin> main;
    INTE *w = nullptr;
    QString folder; // where a run saves

    QString path(const QString &name) const { return dir->path() + '/' + name; }
    QString pomiIni() const { return AppDir + "pomi.ini"; }

    // The download window opened from the main window.
    INTE *open() {
        main->INTB_Click();
        return only<INTE>();
    }

    // The download window with these addresses (paths on the server) listed.
    void prepare(const QStringList &paths, const QString &prefix = "A",
                 const QString &number = "7") {
        w = open();
        main->tx[1]->setText(prefix);
        main->tx[2]->setText(number);
        w->ft->setText(folder + '/');
        for (const QString &address : paths)
            w->URL_ad(address.startsWith("http") ? address : server.url(address));
    }

    // The organiser opened from the main window's menu.
    URLs *organiser(const QByteArray &bytes) {
        if (!bytes.isEmpty())
            writeFile(pomiIni(), bytes);
        main->m1_3->trigger();
        return only<URLs>();
    }

private slots:
    void initTestCase() { TransferLimits::current().stallMs = 500; }

    void init() {
        dir = std::make_unique<QTemporaryDir>();
        for (const char *name : {"app", "main", "dest", "start", "save"})
            QDir().mkpath(path(name));
        AppDir = path("app/");
        MainFolder = path("main");
        DestFolder = path("dest");
        folder = path("save");
        Volumes::setStartupFolder(path("start"));
        messages = std::make_unique<MessageRecorder>();
        main = std::make_unique<pmvmin>();
        main->tx[0]->setText(path("start"));
        server.clearRequests();
    }

    void cleanup() {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (qobject_cast<INTE *>(top) || qobject_cast<URLs *>(top))
                top->deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        main.reset();
        messages.reset();
    }

    // The download window.

    void startUp_data() {
        QTest::addColumn<QByteArray>("bytes"); // none: no file
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("two entries") << QByteArray("\"http://h/b.html\"\r\n\"http://c/\"\r\n")
                                     << QStringList{"http://h/b.html", "http://c/"};
        QTest::newRow("missing file") << QByteArray() << QStringList{};
        QTest::newRow("short line stops")
            << QByteArray("\"a\"\r\n\r\n\"b\"\r\n") << QStringList{"a"};
    }

    void startUp() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, entries);
        if (!bytes.isEmpty())
            writeFile(pomiIni(), bytes);
        w = open();
        QCOMPARE(items(w->l2), entries);
        // The save folder is set only when the whole file was read.
        QCOMPARE(w->ft->text(), entries.size() == 2 ? path("start") + '/' : QString());
        QVERIFY(QFileInfo::exists(pomiIni())); // created empty when missing
        QCOMPARE(readFile(pomiIni()), bytes);
        QVERIFY(messages->shown().isEmpty());
    }

    void hugeAndBinaryFile() {
        // A line of 50 MB, a line of every byte but CR and LF, and an address.
        QByteArray bytes = '"' + QByteArray(50 * 1024 * 1024 - 2, 'a') + "\"\r\n";
        for (int i = 1; i < 256; ++i)
            bytes.append(char(i == 10 || i == 13 ? 'x' : i));
        writeFile(pomiIni(), bytes + "\r\n\"http://h/\"\r\n");
        w = open();
        QCOMPARE(w->l2->count(), 3);
        // The long entry cannot be taken whole as an address.
        w->l2->setCurrentIndex(0);
        w->l2_Click();
        QCOMPARE(messages->texts(), QStringList{"指定されたＵＲＬは不正です"});
        QCOMPARE(w->L1->count(), 0);
        // The organiser writes the long entry back whole.
        URLs *u = organiser({});
        QCOMPARE(items(u->l1).value(2), "http://h/");
        u->l1->item(2)->setSelected(true);
        u->Command1->click();
        u->Command2->click();
        QStringList entries;
        QCOMPARE(PomiIni::read(&entries), 0);
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].size(), 50 * 1024 * 1024 - 2);
    }

    void oneWindowAndSavedMainUrls() {
        const QByteArray two = "\"http://h/B.html\"\r\n\"http://h/b.html\"\r\n";
        writeFile(pomiIni(), "\"http://h/B.html\"\r\n");
        w = open();
        QCOMPARE(open(), w);
        w->l2->setEditText("http://h/b.html"); // the comparison heeds case
        w->Command2_Click();
        QCOMPARE(readFile(pomiIni()), two);
        QCOMPARE(items(w->l2), (QStringList{"http://h/B.html", "http://h/b.html"}));
        QVERIFY(!w->Command2->isEnabled());
        w->Command2_Click();
        QCOMPARE(messages->texts(), QStringList{"同じURLが既に保存されています"});
        QCOMPARE(readFile(pomiIni()), two);
        // A file that cannot be written: a message, the list unchanged.
        AppDir = path("nowhere/");
        w->l2->setEditText("http://h/");
        w->Command2_Click();
        QVERIFY(messages->texts().value(1).startsWith("メインＵＲＬを保存できませんでした。"));
        QCOMPARE(w->l2->count(), 2);
    }

    void saveFolder() {
        w = open();
        const auto state = [&] {
            return QStringList{w->ft->text(), main->d3->path(), w->op2[2]->text()};
        };
        const QString current = "現在のフォルダ", original = "元のフォルダ";
        w->op2[0]->click();
        QCOMPARE(state(), (QStringList{path("main") + '/', path("main"), original}));
        w->op2[1]->click();
        QCOMPARE(state(), (QStringList{path("dest") + '/', path("dest"), original}));
        w->op2[2]->click();
        QCOMPARE(state(), (QStringList{path("start") + '/', path("start"), current}));
        // Nothing remembered: nothing changes.
        w->ft->setText("kept");
        const QStringList kept{"kept", path("start"), current};
        w->op2_Click(2);
        QCOMPARE(state(), kept);
        // A main folder that no longer exists: nothing changes, no message.
        MainFolder = path("gone");
        w->op2[0]->click();
        QCOMPARE(state(), kept);
        QVERIFY(messages->shown().isEmpty());
        // A destination folder on a drive that is not ready.
        VolumesOverride volumes({path("dest")});
        volumes->notReady.insert(path("dest"));
        w->op2[1]->click();
        QCOMPARE(messages->texts(), QStringList{"ドライブの準備ができていません"});
        QCOMPARE(state(), kept);
        QVERIFY(w->op2[2]->isChecked());
    }

    void drop_data() {
        QTest::addColumn<Drop>("d");
        server.answer("/never.html", {.never = true});
        server.answer("/stall.html", {.body = QByteArray(4000, 'x'), .stallAfter = 10});
        const QString never = server.url("/never.html"), stall = server.url("/stall.html");
        QTest::newRow("picture") << Drop{"http://h/z.jpg", "http://h/z.jpg", {"http://h/z.jpg"}};
        QTest::newRow("embedded picture") << Drop{
            "http://x/r?u=http://h/z.jpg", "http://x/r?u=http://h/z.jpg", {"http://h/z.jpg"}};
        QTest::newRow("first line only")
            << Drop{"  http://h/a.jpg \r\nsecond line\n", "http://h/a.jpg", {"http://h/a.jpg"}};
        QTest::newRow("file") << Drop{"file:///etc/passwd", "file:///etc/passwd", {}};
        QTest::newRow("bare word") << Drop{"index", "index", {}};
        QTest::newRow("never answers") << Drop{never, never, {}, true};
        QTest::newRow("stalls") << Drop{
            stall, stall, {}, true, {"通信エラーです。再ロードしてください"}};
    }

    void drop() {
        QFETCH(Drop, d);
        w = open();
        server.clearRequests();
        QMimeData data, empty;
        data.setText(d.text);
        w->L1_OLEDragDrop(&data);
        QTest::qWait(100); // time for a request that should not go out
        QTRY_COMPARE(messages->texts(), d.messages);
        QCOMPARE(w->l2->currentText(), d.box);
        QCOMPARE(items(w->L1), d.listed);
        QCOMPARE(w->Command1->isEnabled(), !d.listed.isEmpty());
        QCOMPARE(w->sosu->text(), QString()); // only a page's scan counts
        QVERIFY(!w->it->StillExecuting());
        QCOMPARE(server.requests().size(), d.asked ? 1 : 0);
        w->L1_OLEDragDrop(&empty); // data without text is ignored
        QCOMPARE(w->l2->currentText(), d.box);
    }

    void load_data() {
        QTest::addColumn<Load>("l");
        QTest::newRow("links of a page")
            << Load{{.body = "<a href=\"pic/a.jpg\">a</a><A HREF=\"/img/b.jpg\">b</A>"
                             "<a href=\"x.html\">x</a><img src=\"c.jpg\">"},
                    {"pic/a.jpg", "img/b.jpg"}};
        QTest::newRow("404 page is scanned")
            << Load{{.body = "<a href=\"gone.jpg\">", .status = 404}, {"gone.jpg"}};
        // The Japanese link lies across byte 1024, whatever the encoding.
        const auto page = [](const char *codec, const QByteArray &head, const char *type) {
            QByteArray body = head + "<p>";
            body.append(QByteArray(1023 - 9 - body.size(), ' ')); // then 9 bytes of <a href="
            body += QStringEncoder(codec).encode(QString("<a href=\"写真/花.jpg\">花</a>"));
            return Load{{.body = body, .type = type}, {"写真/花.jpg"}};
        };
        const QByteArray metaEuc =
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">";
        QTest::newRow("UTF-8 undeclared") << page("UTF-8", "", "text/html");
        QTest::newRow("UTF-8 in a meta tag")
            << page("UTF-8", "<meta charset=\"utf-8\">", "text/html");
        QTest::newRow("Shift_JIS undeclared") << page("Shift_JIS", "", "text/html");
        QTest::newRow("Shift_JIS in the header")
            << page("Shift_JIS", "", "text/html; charset=Shift_JIS");
        QTest::newRow("EUC-JP in the header") << page("EUC-JP", "", "text/html; charset=EUC-JP");
        QTest::newRow("EUC-JP in a meta tag, unknown in the header")
            << page("EUC-JP", metaEuc, "text/html; charset=x-none");
        QTest::newRow("header before meta")
            << page("EUC-JP", "<META charset='shift_jis'>", "text/html; charset=EUC-JP");
        QTest::newRow("byte-order mark first")
            << page("UTF-8", "\xEF\xBB\xBF", "text/html; charset=Shift_JIS");
    }

    void load() {
        QFETCH(Load, l);
        const QString site = QStringLiteral("/load/%1/").arg(qHash(QTest::currentDataTag()));
        server.answer(site + "index.html", l.answer);
        server.clearRequests();
        writeFile(pomiIni(), ("\"" + server.url(site + "index.html") + "\"\r\n").toUtf8());
        w = open();
        w->l2->setCurrentIndex(0);
        w->l2_Click(); // the saved page picked
        QTRY_COMPARE(w->sosu->text(), QString::number(l.links.size()));
        for (QString &link : l.links)
            link = server.url(site + link);
        QCOMPARE(items(w->L1), l.links);
        QCOMPARE(w->Text3->text(), server.url(site));
        QVERIFY(w->Command1->isEnabled() && w->Command2->isEnabled());
        QCOMPARE(w->Text4->text(), "メインサイドの分析中:  0");
        QCOMPARE(server.requests(), QStringList{site + "index.html"});
        QVERIFY(messages->shown().isEmpty());
        if (const QString build = qEnvironmentVariable("POMIV_BUILD_DIR"); !build.isEmpty())
            QVERIFY(w->grab().save(build + "/INTE.png"));
    }

    void baseOfTheOwnLoad() {
        server.answer("/own/index.html",
                      {.body = "<a href=\"a.jpg\">", .stallAfter = 0, .stallMs = 300});
        server.answer("/second/index.html", {.body = "<a href=\"b.jpg\">"});
        w = open();
        server.clearRequests();
        w->URL_ad(server.url("/own/index.html"));
        // While the page comes: a picture address and a second page dropped.
        QMimeData picture, second;
        picture.setText("http://elsewhere/x/y.jpg");
        w->L1_OLEDragDrop(&picture);
        second.setText(server.url("/second/index.html"));
        w->L1_OLEDragDrop(&second);
        QCOMPARE(w->Text3->text(), server.url("/second/"));
        QTRY_COMPARE(w->sosu->text(), "2");
        QCOMPARE(items(w->L1), (QStringList{"http://elsewhere/x/y.jpg", server.url("/own/a.jpg")}));
        // The second page was refused: never asked for.
        QCOMPARE(server.requests(), QStringList{"/own/index.html"});
    }

    void exitWhileReading_data() {
        // The status text changes at the first piece, at the short last one,
        // and when nothing is left.
        QTest::addColumn<int>("at");
        QTest::newRow("first piece") << 1;
        QTest::newRow("last piece") << 3;
    }

    void exitWhileReading() {
        QFETCH(int, at);
        const QByteArray link = "<a href=\"p.jpg\">........................</a>\n";
        server.answer("/long.html", {.body = link.repeated(300)});
        QPointer<INTE> inte = open();
        int inserted = 0, pieces = 0;
        connect(inte->L1->model(), &QAbstractItemModel::rowsInserted, inte,
                [&inserted] { ++inserted; });
        connect(inte->Text4, &QLineEdit::textChanged, inte,
                [&pieces, inte, at](const QString &text) {
                    if (text.startsWith("メインサイドの分析中") && ++pieces == at)
                        inte->Command3->click(); // the user presses Exit between two pieces
                });
        inte->URL_ad(server.url("/long.html"));
        QTRY_VERIFY(!inte);
        QCOMPARE(pieces, at);
        QCOMPARE(inserted, 0);
        QVERIFY(messages->shown().isEmpty());
    }

    // The download run.

    void numbered() {
        server.answer("/p/x.jpg", jpeg(20000, 1));
        server.answer("/p/y.jpg", jpeg(20000, 2));
        prepare({"/p/x.jpg", "/p/y.jpg"}, "A", "007");
        w->l2->setEditText("http://h/page.html");
        w->Command1->click();
        QCOMPARE(filesIn(folder), (QStringList{"A7.jpg", "A8.jpg"}));
        QCOMPARE(items(w->l3), (QStringList{"x.jpg --OK", "y.jpg --OK"}));
        QCOMPARE(main->tx[2]->text(), "9");
        QCOMPARE(settingsNumber(), "9");
        QCOMPARE(messages->texts(), QStringList{"完了しました。"});
        // Tidy-up: list and main URL box emptied, main window on the folder.
        QCOMPARE(w->L1->count(), 0);
        QCOMPARE(w->l2->currentText(), QString());
        QCOMPARE(w->s->value(), 0);
        QCOMPARE(main->d3->path(), folder);
        QVERIFY(!w->Command1->isEnabled());
    }

    void sizesAndFailures() {
        // Too small, and HTML under a .jpg address: both fail.
        server.answer("/s/a.jpg", jpeg(9999));
        server.answer("/s/b.jpg", jpeg(10000));
        server.answer("/s/c.jpg", {.body = "<html>" + QByteArray(50 * 1024, 'h') + "</html>"});
        server.answer("/s/d.jpg", jpeg(12000));
        server.answer("/s/e.jpg", jpeg(30000));
        prepare({"/s/a.jpg", "/s/b.jpg", "/s/c.jpg", "/s/d.jpg", "/s/e.jpg"}, "B", "1");
        w->Command1_Click();
        QCOMPARE(filesIn(folder), (QStringList{"B1.jpg", "B2.jpg", "B3.jpg"}));
        QCOMPARE(readFile(folder + "/B1.jpg").size(), 10000);
        QCOMPARE(items(w->l3), (QStringList{"a.jpg --ERR-", "b.jpg --OK", "c.jpg --ERR-",
                                            "d.jpg --OK", "e.jpg --OK"}));
        QCOMPARE(messages->texts(),
                 (QStringList{" 2個のファイルがダウンロードできませんでした", "完了しました。"}));
        QCOMPARE(main->tx[2]->text(), "4");
    }

    void addressNames() {
        server.answer("/p/photo.jpg", jpeg(20000));
        server.answer("/p/gone.jpg", jpeg(20000, 0, 404)); // an error that looks like a picture
        prepare({"/p/gone.jpg", "/p/photo.jpg"}, "A", "007");
        w->op1[1]->click();
        w->Command1_Click();
        QCOMPARE(filesIn(folder), QStringList{"photo.jpg"});
        QCOMPARE(items(w->l3), (QStringList{"gone.jpg --ERR-", "photo.jpg --OK"}));
        QCOMPARE(main->tx[2]->text(), "007");
        QCOMPARE(settingsNumber(), "007");
    }

    void unsafeAddressNames() {
        // Addresses that try to leave the folder or use names file systems refuse
        // land in the folder; the requests go where the network layer resolves.
        server.answer("/u/dots.jpg", jpeg(20000, 1));
        server.answer("/u/..%5C..%5Cback.jpg", jpeg(20000, 4));
        server.answer("/u/a%2F..%2Fpct.jpg", jpeg(20000, 2));
        server.answer("/u/q?x=1&y=a%7Cb.jpg", jpeg(20000, 3));
        prepare({"/u/a/../dots.jpg", "/u/a%2F..%2Fpct.jpg", "/u/q?x=1&y=a|b.jpg",
                 server.url("/u/") + "..\\..\\back.jpg"});
        w->op1[1]->click();
        w->Command1_Click();
        QCOMPARE(filesIn(folder), (QStringList{".._.._back.jpg", "a%2F..%2Fpct.jpg", "dots.jpg",
                                               "q_x=1&y=a_b.jpg"}));
        QCOMPARE(filesIn(dir->path()), QStringList{});
        // The monitor shows the address name itself.
        QCOMPARE(items(w->l3).value(2), "q?x=1&y=a|b.jpg --OK");
    }

    void clash_data() {
        QTest::addColumn<bool>("byAddress");
        QTest::addColumn<QString>("existing");
        QTest::newRow("numbered, same name") << false << "A8.jpg";
        QTest::newRow("numbered, other case") << false << "a8.JPG";
        QTest::newRow("address name, same name") << true << "y.jpg";
        QTest::newRow("address name, other case") << true << "Y.jpg";
    }

    void clash() {
        QFETCH(bool, byAddress);
        QFETCH(QString, existing);
        for (const char *name : {"x", "y", "z"})
            server.answer(QStringLiteral("/c/%1.jpg").arg(name), jpeg(20000, *name));
        writeFile(folder + '/' + existing, "the user's own file");
        prepare({"/c/x.jpg", "/c/y.jpg", "/c/z.jpg"});
        if (byAddress)
            w->op1[1]->click();
        QPointer<INTE> guard(w);
        w->Command1_Click();
        QCOMPARE(readFile(folder + '/' + existing), "the user's own file");
        QCOMPARE(filesIn(folder).size(), 2); // the first file stays
        QCOMPARE(messages->texts(), QStringList{folder + "//同名ファイルがあります"});
        QCOMPARE(messages->shown().first().icon, MsgIcon::Critical);
        QTRY_VERIFY(!guard); // the window closes
        QCOMPARE(main->tx[2]->text(), byAddress ? "7" : "8");
    }

    void refusals_data() {
        QTest::addColumn<Refusal>("r");
        const QString empty = "連番付するファイル名を入力してください";
        const QString wrong = "連番付するファイル名を正しく入力してください、型が一致しません。";
        QTest::newRow("empty prefix") << Refusal{.prefix = "", .text = empty};
        QTest::newRow("letters") << Refusal{.number = "abc", .text = wrong};
        // Tidied up as after any other failure.
        QTest::newRow("overflow") << Refusal{
            .number = "2147483648", .text = "オーバーフローしました。", .linksLeft = 0};
        QTest::newRow("missing folder") << Refusal{
            .text = "ドライブの準備ができません", .folder = "gone/", .icon = MsgIcon::Critical};
    }

    void refusals() {
        QFETCH(Refusal, r);
        server.answer("/i/x.jpg", jpeg(20000));
        prepare({"/i/x.jpg"}, r.prefix, r.number);
        w->ft->setText(path(r.folder));
        w->op1[1]->click(); // the fields are needed in either mode
        w->Command1_Click();
        QCOMPARE(messages->texts(), QStringList{r.text});
        QCOMPARE(messages->shown().first().icon, r.icon);
        QCOMPARE(w->L1->count(), r.linksLeft);
        QCOMPARE(w->Command1->isEnabled(), r.icon == MsgIcon::None && r.linksLeft > 0);
        QVERIFY(w->isVisible());
        if (r.icon == MsgIcon::None) // the fields are read before any request
            QCOMPARE(server.requests(), QStringList{});
        QCOMPARE(filesIn(folder), QStringList{});
        QVERIFY(!QFileInfo::exists(path("gone")));
    }

    void oneAddressIntoTheCurrentFolder() {
        server.answer("/one/x.jpg", jpeg(20000));
        prepare({"/one/x.jpg"});
        w->ft->clear(); // as when the window started without a saved URLs file
        main->tx[0]->setText(folder);
        int maximumSeen = -1;
        connect(w->s, &QProgressBar::valueChanged, w, [&] { maximumSeen = w->s->maximum(); });
        w->Command1_Click();
        QCOMPARE(filesIn(folder), QStringList{"A7.jpg"});
        // A maximum of 0 shows an empty bar, never the busy animation.
        QVERIFY(w->s->maximum() > 0);
        QVERIFY(maximumSeen != 0);
    }

    void listOrderDespiteAnswerOrder() {
        QStringList paths, monitor;
        for (int i = 0; i < 12; ++i) {
            HttpAnswer a = jpeg(15000, i);
            a.delayMs = (12 - i) * 15; // later addresses answer sooner
            paths.append(QStringLiteral("/order/%1.jpg").arg(i));
            server.answer(paths.last(), a);
            monitor.append(QStringLiteral("%1.jpg --OK").arg(i));
        }
        prepare(paths, "N", "1");
        w->Command1_Click();
        QCOMPARE(filesIn(folder).size(), 12);
        for (int i = 0; i < 12; ++i)
            QCOMPARE(readFile(folder + QStringLiteral("/N%1.jpg").arg(i + 1)), picture(15000, i));
        QCOMPARE(items(w->l3), monitor);
    }

    void fetchFailureStopsTheRun() {
        server.answer("/f/1.jpg", jpeg(20000, 1));
        server.answer("/f/2.jpg", {.never = true});
        server.answer("/f/3.jpg", jpeg(20000, 3));
        prepare({"/f/1.jpg", "/f/2.jpg", "/f/3.jpg"}, "F", "1");
        w->Command1_Click();
        QCOMPARE(filesIn(folder), QStringList{"F1.jpg"});
        QCOMPARE(items(w->l3), QStringList{"1.jpg --OK"});
        QCOMPARE(messages->texts(), QStringList{netErrorText(NetTimeout)});
        QCOMPARE(main->tx[2]->text(), "2");
        QCOMPARE(settingsNumber(), "2");
        QCOMPARE(w->L1->count(), 0); // tidied up
    }

    // The saved-URL organiser.

    void edit_data() {
        QTest::addColumn<Edit>("e");
        const QByteArray three = "\"http://a/\"\r\n\"http://b/\"\r\n\"http://c/\"\r\n";
        const QByteArray ac = "\"http://a/\"\r\n\"http://c/\"\r\n";
        const QStringList abc{"http://a/", "http://b/", "http://c/"};
        const QString jp = "http://h/日本語.html", beyond = "http://h/한국어.html";
        const QByteArray sjisFile =
            QStringEncoder("Shift_JIS").encode(QString("\"" + jp + "\"\r\n\"http://a/\"\r\n"));
        const QByteArray utf8File = QString("\"" + jp + "\"\r\n\"" + beyond + "\"\r\n").toUtf8();
        QTest::newRow("delete the second of three") << Edit{three, abc, {1}, Update, ac};
        QTest::newRow("delete every entry") << Edit{three, abc, {0, 0, 0}, Update, ""};
        QTest::newRow("delete with nothing selected") << Edit{three, abc, {-1}, Update, three};
        QTest::newRow("delete twice after one selection") << Edit{three, abc, {1, -1}, Update, ac};
        QTest::newRow("cancel after deletions") << Edit{three, abc, {0, 1}, Cancel, three};
        QTest::newRow("close box after deletions") << Edit{three, abc, {0}, CloseBox, three};
        QTest::newRow("missing file") << Edit{"", {}, {}, Update, ""};
        QTest::newRow("line without quotes")
            << Edit{"http://x/\r\n", {"ttp://x"}, {}, Update, "\"ttp://x\"\r\n"};
        QTest::newRow("two quotes: an empty entry")
            << Edit{"\"\"\r\n\"b\"\r\n", {"", "b"}, {}, Update, "\"\"\r\n\"b\"\r\n"};
        QTest::newRow("LF and CR line ends") << Edit{
            "\"a\"\n\"b\"\r\"c\"", {"a", "b", "c"}, {}, Update, "\"a\"\r\n\"b\"\r\n\"c\"\r\n"};
        QTest::newRow("empty line: the rest kept as it is")
            << Edit{"\"a\"\r\n\r\n\"c\"\nplain", {"a"}, {0}, Update, "\r\n\"c\"\r\nplain\r\n"};
        QTest::newRow("one-character line: the rest kept as it is")
            << Edit{"\"a\"\r\nx\r\n\"c\"\r\n", {"a"}, {0}, Update, "x\r\n\"c\"\r\n"};
        QTest::newRow("Shift_JIS stays Shift_JIS")
            << Edit{sjisFile, {jp, "http://a/"}, {}, Update, sjisFile};
        QTest::newRow("UTF-8 stays UTF-8, marked")
            << Edit{utf8File, {jp, beyond}, {}, Update, "\xef\xbb\xbf" + utf8File};
    }

    void edit() {
        QFETCH(Edit, e);
        URLs *u = organiser(e.before);
        QVERIFY(QFileInfo::exists(pomiIni())); // a missing file is created empty
        QCOMPARE(items(u->l1), e.shown);
        for (int row : e.deletions) {
            if (row >= 0)
                u->l1->item(row)->setSelected(true);
            u->Command1->click();
        }
        if (const QString build = qEnvironmentVariable("POMIV_BUILD_DIR"); !build.isEmpty())
            QVERIFY(u->grab().save(build + "/URLs.png"));
        QPointer<URLs> guard(u);
        if (e.leave == Update)
            u->Command2->click();
        else if (e.leave == Cancel)
            u->Command3->click();
        else
            u->close();
        QTRY_VERIFY(!guard);
        QCOMPARE(readFile(pomiIni()), e.after);
        QVERIFY(messages->shown().isEmpty());
    }

    void failedWriteKeepsTheFile() {
        const QByteArray before = "\"a\"\r\n\"b\"\r\n";
        URLs *u = organiser(before);
        u->l1->item(0)->setSelected(true);
        u->Command1->click();
        PomiIni::setWriteFaultForTests([] { return int(GeneralFailure); });
        u->Command2->click();
        PomiIni::setWriteFaultForTests(nullptr);
        QCOMPARE(readFile(pomiIni()), before);
        QVERIFY(u->isVisible());
        QCOMPARE(items(u->l1), QStringList{"b"});
        QCOMPARE(messages->texts(),
                 QStringList{"保存しているURLのファイルを書き込めませんでした。" +
                             errorText(GeneralFailure)});
        // The file cannot be read back: the same, and nothing written.
        QFile::remove(pomiIni());
        QDir().mkpath(pomiIni());
        u->Command2->click();
        QCOMPARE(messages->shown().size(), 2);
        QVERIFY(QFileInfo(pomiIni()).isDir());
        QVERIFY(u->isVisible());
    }

    void oneWindowAndTheDownloadList() {
        URLs *u = organiser("\"a\"\r\n\"b\"\r\n");
        INTE *inte = open();
        inte->Command4->click();
        QCOMPARE(only<URLs>(), u);
        // Saved in the download window meanwhile: kept.
        inte->l2->setEditText("http://new/");
        inte->Command2_Click();
        u->l1->item(0)->setSelected(true);
        u->Command1->click();
        QPointer<URLs> gone(u);
        u->Command2->click();
        QTRY_VERIFY(!gone);
        QCOMPARE(readFile(pomiIni()), "\"b\"\r\n\"http://new/\"\r\n");
        QCOMPARE(inte->l2->count(), 3); // not read again while open
        // The organiser starts afresh when opened again; the download window too.
        inte->Command4->click();
        QCOMPARE(items(only<URLs>()->l1), (QStringList{"b", "http://new/"}));
        QPointer<INTE> guard(inte);
        inte->Command3->click();
        QTRY_VERIFY(!guard);
        QCOMPARE(items(open()->l2), (QStringList{"b", "http://new/"}));
    }
};

QTEST_MAIN(TestWebWindows)
#include "tst_webwindows.moc"
