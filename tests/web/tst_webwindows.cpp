// The download window, its download run and the saved-URL organiser,
// against a local server.

#include "LocalHttpServer.h"
#include "app/pmvmin.h"
#include "controls/FileList.h"
#include "core/Errors.h"
#include "net/InternetTransfer.h"
#include "settings/Shared.h"
#include "settings/rules/SettingsFile.h"
#include "tests/support/TestSupport.h"
#include "web/INTE.h"
#include "web/URLs.h"
#include "web/rules/PomiIni.h"

#include <QtWidgets>

using namespace pomiv;
using namespace pomiv::test;

// Text dropped on the link list, or (no text) a saved page picked from the
// main URL box: the links listed (a page's relative to its folder).
struct Listing {
    QString text{};
    QStringList listed{}, messages{};
    HttpAnswer page{};
};

// A run from the window: the fields, the messages, the links left (none:
// tidied up; -1: a clash with the user's A7.jpg), the first message's icon,
// the save folder ("": none set), the link, the program folder and the
// monitor (A7.jpg saved and the number moved to 8 when it shows anything).
struct Run {
    QString prefix, number;
    QStringList messages;
    int linksLeft = 1;
    MsgIcon icon = MsgIcon::None;
    QString folder = "save/", path = "/i/x.jpg", app = "app/";
    QStringList monitor{};
};

// The saved main URLs file before and after, the organiser's list, the rows
// selected and deleted (-1: none selected), whether it is left by Cancel.
struct Edit {
    QByteArray before{}, after{};
    QStringList shown{};
    QList<int> deletions{};
    bool cancel = false;
};

class WebWindowsTest : public QObject {
    Q_OBJECT
    LocalHttpServer server;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MessageRecorder> messages;
    std::unique_ptr<pmvmin> main;
    INTE *w = nullptr;

    QString path(const QString &name) const { return dir->path() + '/' + name; }
    QString pomiIni() const { return AppDir + "pomi.ini"; }
    void saveUrl(const QString &url) { writeFile(pomiIni(), ('"' + url + "\"\r\n").toUtf8()); }

    INTE *open() {
        main->INTB_Click();
        return only<INTE>();
    }

    void drop(const QString &text) {
        QMimeData data;
        data.setText(text);
        w->L1_OLEDragDrop(&data);
    }

    void leave(URLs *u, bool cancel = false) {
        QPointer<URLs> guard(u);
        (cancel ? u->Command3 : u->Command2)->click();
        QTRY_VERIFY(!guard);
    }

private slots:
    void initTestCase() {
        TransferLimits::current().stallMs = 500;
        server.answer("/never.html", {.never = true});
        server.answer("/stall.html", {.body = QByteArray(4000, 'x'), .stallAfter = 10});
        server.answer("/p/index.html", {.body = "<a href=\"x.jpg\"><a href=\"y.jpg\">"});
        server.answer("/p/x.jpg", jpeg(1));
        server.answer("/p/y.jpg", jpeg(2, 9000));
        server.answer("/i/x.jpg", jpeg());
    }

    void init() {
        dir = std::make_unique<QTemporaryDir>();
        for (const char *name : {"app", "main", "dest", "start", "save"})
            QDir().mkpath(path(name));
        AppDir = path("app/");
        MainFolder = path("main");
        DestFolder = path("dest");
        Volumes::setStartupFolder(path("start"));
        messages = std::make_unique<MessageRecorder>();
        main = std::make_unique<pmvmin>();
        main->tx[0]->setText(path("start"));
        server.clearRequests();
    }

    void cleanup() {
        qDeleteAll(topLevels<INTE>());
        qDeleteAll(topLevels<URLs>());
        main.reset();
        messages.reset();
    }

    void savedMainUrls() {
        // A line of 50 MB, a line of every byte but CR and LF, and an address.
        QByteArray bytes = '"' + QByteArray(50 * 1024 * 1024 - 2, 'a') + "\"\r\n";
        for (int i = 1; i < 256; ++i)
            bytes.append(char(i == 10 || i == 13 ? 'x' : i));
        writeFile(pomiIni(), bytes + "\r\n\"http://h/B.html\"\r\n");
        w = open();
        QCOMPARE(open(), w); // one window
        QCOMPARE(w->l2->count(), 3);
        // The long entry cannot be taken whole as an address.
        w->l2->setCurrentIndex(0);
        w->l2_Click();
        QCOMPARE(messages->texts(), QStringList{"指定されたＵＲＬは不正です"});
        QCOMPARE(w->L1->count(), 0);
        // Saved once only; the comparison heeds case.
        w->l2->setEditText("http://h/b.html");
        w->Command2_Click();
        QVERIFY(!w->Command2->isEnabled());
        w->Command2_Click();
        QCOMPARE(messages->texts().value(1), "同じURLが既に保存されています");
        // The organiser writes the long entry back whole, and keeps what the
        // download window saved while it was open.
        w->Command4->click();
        URLs *u = only<URLs>();
        w->l2->setEditText("http://new/");
        w->Command2_Click();
        u->l1->item(2)->setSelected(true);
        u->Command1->click();
        leave(u);
        QStringList entries;
        QCOMPARE(PomiIni(AppDir).read(&entries), Ok);
        QCOMPARE(entries.value(0).size(), 50 * 1024 * 1024 - 2);
        QCOMPARE(entries.mid(2), (QStringList{"http://h/b.html", "http://new/"}));
        QCOMPARE(w->l2->count(), 5); // not read again while open
        w->Command4->click();        // read afresh when opened again
        QCOMPARE(items(only<URLs>()->l1).mid(2), entries.mid(2));
        // A file that cannot be written: a message, the list unchanged.
        AppDir = path("nowhere/");
        w->l2->setEditText("http://h/");
        w->Command2_Click();
        QVERIFY(messages->texts().last().startsWith("メインＵＲＬを保存できませんでした。"));
        QCOMPARE(w->l2->count(), 5);
    }

    void saveFolder() {
        w = open();
        // Without a saved URLs file: one is made, and no save folder is set.
        QVERIFY(QFileInfo::exists(pomiIni()) && w->ft->text().isEmpty());
        // The third choice's caption offers the way back from it.
        const auto pick = [&](int i) {
            w->op2[i]->click();
            return QStringList{w->ft->text(), main->d3->path(), w->op2[2]->text()};
        };
        const QString mainDir = path("main"), dest = path("dest"), start = path("start");
        QCOMPARE(pick(0), (QStringList{mainDir + '/', mainDir, "元のフォルダ"}));
        QCOMPARE(pick(1), (QStringList{dest + '/', dest, "元のフォルダ"}));
        QCOMPARE(pick(2), (QStringList{start + '/', start, "現在のフォルダ"}));
        // A drive not ready: nothing changes, and this window reports it.
        w->ft->setText("kept");
        VolumesOverride volumes({dest});
        volumes->notReady.insert(dest);
        QCOMPARE(pick(1), (QStringList{"kept", start, "現在のフォルダ"}));
        QCOMPARE(messages->texts(), QStringList{"ドライブの準備ができていません"});
        QVERIFY(w->op2[2]->isChecked());
    }

    void list_data() {
        QTest::addColumn<Listing>("l");
        QTest::newRow("picture, first line only")
            << Listing{"  http://h/a.jpg \r\nsecond line\n", {"http://h/a.jpg"}};
        QTest::newRow("embedded picture")
            << Listing{"http://x/r?u=http://h/z.jpg", {"http://h/z.jpg"}};
        QTest::newRow("file") << Listing{"file:///etc/passwd"};
        QTest::newRow("never answers") << Listing{server.url("/never.html")};
        QTest::newRow("stalls") << Listing{
            server.url("/stall.html"), {}, {"通信エラーです。再ロードしてください"}};
        const HttpAnswer links{.body = "<a href=\"pic/a.jpg\">a</a><A HREF=\"/img/b.jpg\">b</A>"
                                       "<a href=\"x.html\">x</a><img src=\"c.jpg\">",
                               .status = 404};
        QTest::newRow("links of a 404 page") << Listing{{}, {"pic/a.jpg", "img/b.jpg"}, {}, links};
        // The Japanese link lies across byte 1024, whatever the encoding.
        const auto page = [](const char *codec, const QByteArray &head, const char *type) {
            QByteArray body = head + "<p>";
            body.append(QByteArray(1023 - 9 - body.size(), ' ')); // then 9 bytes of <a href="
            body += QStringEncoder(codec).encode(QString("<a href=\"写真/花.jpg\">花</a>"));
            return Listing{{}, {"写真/花.jpg"}, {}, {.body = body, .type = type}};
        };
        QTest::newRow("UTF-8 undeclared") << page("UTF-8", "", "text/html");
        QTest::newRow("Shift_JIS undeclared") << page("Shift_JIS", "", "text/html");
        QTest::newRow("EUC-JP in a meta tag, unknown in the header") << page(
            "EUC-JP", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">",
            "text/html; charset=x-none");
        QTest::newRow("header before meta")
            << page("EUC-JP", "<META charset='shift_jis'>", "text/html; charset=EUC-JP");
        QTest::newRow("byte-order mark first")
            << page("UTF-8", "\xEF\xBB\xBF", "text/html; charset=Shift_JIS");
    }

    // The box shows the text's first line; only an address on the test
    // server is asked for.
    void list() {
        QFETCH(Listing, l);
        const QString site = QStringLiteral("/load/%1/").arg(qHash(QTest::currentDataTag()));
        const bool picked = l.text.isEmpty();
        QString box = l.text.section(QRegularExpression("[\r\n]"), 0, 0).trimmed();
        if (picked) {
            server.answer(site + "index.html", l.page);
            saveUrl(box = server.url(site + "index.html"));
            for (QString &link : l.listed)
                link = server.url(site + link);
        }
        w = open();
        w->l2->setCurrentIndex(0);
        picked ? w->l2_Click() : drop(l.text);
        QTest::qWait(100); // time for a request that should not go out
        QTRY_COMPARE(messages->texts(), l.messages);
        QTRY_COMPARE(items(w->L1), l.listed);
        QCOMPARE(w->l2->currentText(), box);
        QVERIFY(!w->it->StillExecuting());
        QCOMPARE(w->Command1->isEnabled() + w->Command2->isEnabled(), l.listed.isEmpty() ? 0 : 2);
        // Only a page's scan counts, and sets the base for the links dropped later.
        QCOMPARE(w->sosu->text(), picked ? QString::number(l.listed.size()) : QString());
        if (picked)
            QCOMPARE(w->Text3->text(), server.url(site));
        QCOMPARE(server.requests().size(), int(box.startsWith(server.url("/"))));
    }

    void dropsAreCopiesOfText() {
        // Text is taken as a copy, never moved out of the other program; data
        // without text is refused.
        saveUrl(server.url("/r.html"));
        w = open();
        QMimeData text, file;
        text.setText("http://h/z.jpg");
        file.setUrls({QUrl::fromLocalFile("/tmp/z.jpg")});
        for (QMimeData *data : {&file, &text}) {
            // Shift proposes a move.
            const auto actions = Qt::CopyAction | Qt::MoveAction;
            QDragEnterEvent enter({5, 5}, actions, data, Qt::LeftButton, Qt::ShiftModifier);
            QDropEvent drop({5, 5}, actions, data, Qt::LeftButton, Qt::ShiftModifier);
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

    void baseOfTheOwnLoad() {
        server.answer("/own/index.html",
                      {.body = "<a href=\"a.jpg\">", .stallAfter = 0, .stallMs = 300});
        server.answer("/second/index.html", {.body = "<a href=\"b.jpg\">"});
        w = open();
        w->URL_ad(server.url("/own/index.html"));
        // While the page comes: a picture address and a second page dropped.
        drop("http://elsewhere/x/y.jpg");
        drop(server.url("/second/index.html"));
        QCOMPARE(w->Text3->text(), server.url("/second/"));
        QTRY_COMPARE(w->sosu->text(), "2");
        QCOMPARE(items(w->L1), (QStringList{"http://elsewhere/x/y.jpg", server.url("/own/a.jpg")}));
        QCOMPARE(server.requests(), QStringList{"/own/index.html"});
    }

    // The status text changes at the first piece, at the short last one,
    // and when nothing is left: Exit pressed at the first and the last.
    void exitWhileReading() {
        const QByteArray link = "<a href=\"p.jpg\">........................</a>\n";
        server.answer("/long.html", {.body = link.repeated(300)});
        for (const int at : {1, 3}) {
            QPointer<INTE> inte = open();
            int inserted = 0, pieces = 0;
            connect(inte->L1->model(), &QAbstractItemModel::rowsInserted, inte,
                    [&inserted] { ++inserted; });
            connect(inte->Text4, &QLineEdit::textChanged, inte,
                    [&pieces, inte, at](const QString &text) {
                        if (text.startsWith("メインサイドの分析中") && ++pieces == at)
                            inte->Command3->click(); // between two pieces
                    });
            inte->URL_ad(server.url("/long.html"));
            QTRY_VERIFY(!inte);
            QCOMPARE(pieces, at);
            QCOMPARE(inserted, 0);
        }
        QVERIFY(messages->shown().isEmpty());
    }

    void run_data() {
        QTest::addColumn<Run>("r");
        const QString noDrive = "ドライブの準備ができません";
        const QStringList done{" 1個のファイルがダウンロードできませんでした", "完了しました。"};
        const QStringList both{"x.jpg --OK", "y.jpg --ERR-"};
        const MsgIcon none = MsgIcon::None, critical = MsgIcon::Critical;
        QTest::newRow("a page, one bad picture")
            << Run{"A", "007", done, 0, none, "", "/p/index.html", "app/", both};
        QTest::newRow("empty prefix") << Run{"", "7", {"連番付するファイル名を入力してください"}};
        QTest::newRow("letters") << Run{
            "A", "abc", {"連番付するファイル名を正しく入力してください、型が一致しません。"}};
        QTest::newRow("overflow") << Run{"A", "2147483648", {"オーバーフローしました。"}, 0};
        QTest::newRow("missing folder") << Run{"A", "7", {noDrive}, 1, critical, "gone/"};
        QTest::newRow("settings file cannot be written")
            << Run{"A", "7", {noDrive}, 1, critical, "save/", "/i/x.jpg", "gone/", {"x.jpg --OK"}};
        QTest::newRow("clash closes the window")
            << Run{"A", "7", {"/同名ファイルがあります"}, -1, critical};
    }

    void run() {
        QFETCH(Run, r);
        const QString folder = path("save");
        const bool clash = r.linksLeft < 0, saved = !r.monitor.isEmpty();
        if (clash) {
            writeFile(folder + "/A7.jpg", "the user's own file");
            r.messages[0].prepend(path("save/"));
        }
        w = open();
        AppDir = path(r.app);
        main->tx[0]->setText(folder);
        main->tx[1]->setText(r.prefix);
        main->tx[2]->setText(r.number);
        w->ft->setText(r.folder.isEmpty() ? QString() : path(r.folder));
        w->URL_ad(server.url(r.path));
        QTRY_VERIFY(w->Command1->isEnabled());
        QPointer<INTE> guard(w);
        w->Command1->click();
        QCOMPARE(messages->texts(), r.messages);
        QCOMPARE(messages->shown().first().icon, r.icon);
        QCOMPARE(filesIn(folder), QStringList(clash || saved, "A7.jpg"));
        QVERIFY(!QFileInfo::exists(path("gone")));
        if (clash) {
            QCOMPARE(readFile(folder + "/A7.jpg"), "the user's own file");
            QTRY_VERIFY(!guard);
            return;
        }
        QCOMPARE(items(w->l3), r.monitor);
        QCOMPARE(main->tx[2]->text(), saved ? "8" : r.number);
        QStringList fields;
        AppDir = path("app/");
        QCOMPARE((readSettings(AppDir, &fields), fields.value(3)),
                 saved && r.app == "app/" ? "8" : "");
        // Each picture names the page that listed it.
        if (r.path.endsWith(".html"))
            QCOMPARE(server.header("/p/y.jpg", "Referer"), server.url(r.path).toUtf8());
        QCOMPARE(w->L1->count(), r.linksLeft);
        QCOMPARE(w->Command1->isEnabled(), r.icon == MsgIcon::None && r.linksLeft > 0);
        QVERIFY(w->isVisible() && w->s->maximum() > 0); // an empty bar, never a busy one
        if (r.linksLeft > 0 && r.icon == MsgIcon::None) // the fields are read before any request
            QCOMPARE(server.requests(), QStringList{});
        if (r.linksLeft == 0) // tidied up: main window on the folder
            QCOMPARE(main->d3->path() + w->l2->currentText() + QString::number(w->s->value()),
                     folder + "0");
    }

    void edit_data() {
        QTest::addColumn<Edit>("e");
        const QByteArray three = "\"http://a/\"\r\n\"http://b/\"\r\n\"http://c/\"\r\n";
        const QStringList abc{"http://a/", "http://b/", "http://c/"};
        const QString jp = "http://h/日本語.html";
        const QByteArray sjis = QStringEncoder("Shift_JIS").encode("\"" + jp + "\"\r\n");
        QTest::newRow("delete twice after one selection")
            << Edit{three, "\"http://a/\"\r\n\"http://c/\"\r\n", abc, {1, -1}};
        QTest::newRow("delete every entry") << Edit{three, "", abc, {0, 0, 0}};
        QTest::newRow("cancel after deletions") << Edit{three, three, abc, {0, 1}, true};
        QTest::newRow("missing file") << Edit{};
        QTest::newRow("no quotes, LF and CR line ends, empty entry") << Edit{
            "http://x/\n\"b\"\r\"\"", "\"ttp://x\"\r\n\"b\"\r\n\"\"\r\n", {"ttp://x", "b", ""}};
        QTest::newRow("empty line: the rest kept as it is")
            << Edit{"\"a\"\r\n\r\n\"c\"\nplain", "\r\n\"c\"\r\nplain\r\n", {"a"}, {0}};
        QTest::newRow("one-character line: the rest kept as it is")
            << Edit{"\"a\"\r\nx\r\n\"c\"\r\n", "x\r\n\"c\"\r\n", {"a"}, {0}};
        QTest::newRow("Shift_JIS stays Shift_JIS") << Edit{sjis, sjis, {jp}};
    }

    void edit() {
        QFETCH(Edit, e);
        if (!e.before.isEmpty())
            writeFile(pomiIni(), e.before);
        main->m1_3->trigger();
        URLs *u = only<URLs>();
        QVERIFY(QFileInfo::exists(pomiIni())); // a missing file is created empty
        QCOMPARE(items(u->l1), e.shown);
        // The download window reads the file alike, and sets the save folder
        // only when it read every line.
        QCOMPARE(items(open()->l2), e.shown);
        static const QRegularExpression lineEnd("\r\n|\n|\r");
        const bool whole =
            QString(e.before).split(lineEnd, Qt::SkipEmptyParts).size() == e.shown.size();
        QCOMPARE(open()->ft->text(), whole ? path("start") + '/' : QString());
        for (int row : e.deletions) {
            if (row >= 0)
                u->l1->item(row)->setSelected(true);
            u->Command1->click();
        }
        leave(u, e.cancel);
        QCOMPARE(readFile(pomiIni()), e.after);
        QVERIFY(messages->shown().isEmpty());
    }

    void failedWriteKeepsTheFile() {
        const QByteArray before = "\"a\"\r\n\"b\"\r\n";
        writeFile(pomiIni(), before);
        main->m1_3->trigger();
        URLs *u = only<URLs>();
        u->l1->item(0)->setSelected(true);
        u->Command1->click();
        PomiIni::setWriteFaultForTests([] { return GeneralFailure; });
        u->Command2->click();
        PomiIni::setWriteFaultForTests(nullptr);
        QCOMPARE(readFile(pomiIni()), before);
        QCOMPARE(items(u->l1), QStringList{"b"});
        QCOMPARE(messages->texts(),
                 QStringList{"保存しているURLのファイルを書き込めませんでした。" +
                             errorText(GeneralFailure)});
        // The file cannot be read back: the same, and nothing written.
        QFile::remove(pomiIni());
        QDir().mkpath(pomiIni());
        u->Command2->click();
        QCOMPARE(messages->shown().size(), 2);
        QVERIFY(QFileInfo(pomiIni()).isDir() && u->isVisible());
    }
};

QTEST_MAIN(WebWindowsTest)
#include "tst_webwindows.moc"
