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
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace pomiv;
using namespace pomiv::test;

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

// A run that ends early, and what the window shows.
struct Refusal {
    QString prefix = "A", number = "7", text{};
    QString folder = "save/";
    int linksLeft = 1;
    QString path = "/i/x.jpg";
    MsgIcon icon = MsgIcon::None;
    QStringList files{};
    bool closes = false;
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
        // Without a saved URLs file: one is made, and no save folder is set.
        QVERIFY(QFileInfo::exists(pomiIni()) && w->ft->text().isEmpty());
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

    void dropsAreCopies() {
        // Text is taken as a copy, never moved out of the other program; data
        // without text is refused.
        writeFile(pomiIni(), ("\"" + server.url("/r.html") + "\"\r\n").toUtf8());
        w = open();
        QMimeData text, file;
        text.setText("http://h/z.jpg");
        file.setUrls({QUrl::fromLocalFile("/tmp/z.jpg")});
        for (QMimeData *data : {&file, &text}) {
            // Shift proposes a move.
            QDragEnterEvent enter({5, 5}, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                                  Qt::ShiftModifier);
            QDropEvent drop({5, 5}, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                            Qt::ShiftModifier);
            QCOMPARE(drop.proposedAction(), Qt::MoveAction);
            QApplication::sendEvent(w->L1->viewport(), &enter);
            QApplication::sendEvent(w->L1->viewport(), &drop);
            if (data == &text)
                QVERIFY(enter.dropAction() == Qt::CopyAction &&
                        drop.dropAction() == Qt::CopyAction);
        }
        QCOMPARE(items(w->L1), QStringList{"http://h/z.jpg"});
        // Return in the main URL box loads nothing; only a pick does.
        w->l2->setEditText(QString());
        QApplication::setActiveWindow(w);
        w->l2->setFocus();
        QTest::keyClicks(w->l2->lineEdit(), server.url("/r.h")); // completed from the list
        QTest::keyClick(w->l2->lineEdit(), Qt::Key_Return);
        QTest::qWait(100);
        QCOMPARE(server.requests(), QStringList{});
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

    // The download run, as the window shows it.

    void runFromAPage() {
        server.answer("/p/index.html", {.body = "<a href=\"x.jpg\"><a href=\"y.jpg\">"});
        server.answer("/p/x.jpg", jpeg(1));
        server.answer("/p/y.jpg", jpeg(2, 9000));
        prepare({"/p/index.html"}, "A", "007");
        w->ft->clear(); // as when the window started without a saved URLs file
        main->tx[0]->setText(folder);
        QTRY_COMPARE(w->L1->count(), 2);
        w->Command1->click();
        QCOMPARE(filesIn(folder), QStringList{"A7.jpg"});
        QCOMPARE(items(w->l3), (QStringList{"x.jpg --OK", "y.jpg --ERR-"}));
        QCOMPARE(main->tx[2]->text(), "8");
        QStringList fields;
        QCOMPARE((readSettings(&fields), fields.value(3)), "8");
        QCOMPARE(messages->texts(),
                 (QStringList{" 1個のファイルがダウンロードできませんでした", "完了しました。"}));
        // Each picture names the page that listed it.
        QCOMPARE(server.header("/p/y.jpg", "Referer"), server.url("/p/index.html").toUtf8());
        // Tidy-up: list and main URL box emptied, main window on the folder.
        QCOMPARE(w->L1->count(), 0);
        QCOMPARE(w->l2->currentText(), QString());
        QCOMPARE(w->s->value(), 0);
        QCOMPARE(main->d3->path(), folder);
        QVERIFY(!w->Command1->isEnabled());
    }

    void runEnds_data() {
        QTest::addColumn<Refusal>("r");
        const QString empty = "連番付するファイル名を入力してください";
        const QString wrong = "連番付するファイル名を正しく入力してください、型が一致しません。";
        const QString noDrive = "ドライブの準備ができません";
        QTest::newRow("empty prefix") << Refusal{.prefix = "", .text = empty};
        QTest::newRow("letters") << Refusal{.number = "abc", .text = wrong};
        // Tidied up as after any other failure.
        QTest::newRow("overflow") << Refusal{
            .number = "2147483648", .text = "オーバーフローしました。", .linksLeft = 0};
        QTest::newRow("no answer")
            << Refusal{.text = netErrorText(NetTimeout), .linksLeft = 0, .path = "/i/never.jpg"};
        QTest::newRow("missing folder")
            << Refusal{.text = noDrive, .folder = "gone/", .icon = MsgIcon::Critical};
        QTest::newRow("clash closes the window") << Refusal{.text = "/同名ファイルがあります",
                                                            .icon = MsgIcon::Critical,
                                                            .files = {"A7.jpg"},
                                                            .closes = true};
    }

    void runEnds() {
        QFETCH(Refusal, r);
        server.answer("/i/x.jpg", jpeg());
        server.answer("/i/never.jpg", {.never = true});
        if (r.closes)
            writeFile(folder + "/A7.jpg", "the user's own file");
        prepare({r.path}, r.prefix, r.number);
        w->ft->setText(path(r.folder));
        QPointer<INTE> guard(w);
        w->Command1_Click();
        QCOMPARE(messages->texts(), QStringList{(r.closes ? path("save/") : "") + r.text});
        QCOMPARE(messages->shown().first().icon, r.icon);
        QCOMPARE(filesIn(folder), r.files);
        QVERIFY(w->s->maximum() > 0); // one link: an empty bar, never the busy animation
        if (r.closes) {
            QCOMPARE(readFile(folder + "/A7.jpg"), "the user's own file");
            QTRY_VERIFY(!guard);
            return;
        }
        QCOMPARE(w->L1->count(), r.linksLeft);
        QCOMPARE(w->Command1->isEnabled(), r.icon == MsgIcon::None && r.linksLeft > 0);
        QVERIFY(w->isVisible());
        if (r.icon == MsgIcon::None && r.linksLeft > 0) // the fields are read before any request
            QCOMPARE(server.requests(), QStringList{});
        QVERIFY(!QFileInfo::exists(path("gone")));
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
        // The download window reads the file alike, and sets the save folder
        // only when it read every line.
        static const QRegularExpression lineEnd("\r\n|\n|\r");
        const bool whole =
            QString(e.before).split(lineEnd, Qt::SkipEmptyParts).size() == e.shown.size();
        QCOMPARE(items(open()->l2), e.shown);
        QCOMPARE(open()->ft->text(), whole ? path("start") + '/' : QString());
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
