// The saved-URL organiser: listing, deleting, writing back, cancelling.

#include "WebTestFixture.h"
#include "platform/Errors.h"
#include "platform/Ui.h"
#include "web/PomiIni.h"
#include "web/URLs.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QStringEncoder>

using namespace pomiv;
using namespace pomiv::test;

static QByteArray sjis(const QString &text) {
    QStringEncoder encoder("Shift_JIS");
    return encoder.encode(text);
}

// What the user does before leaving the window.
enum Leave { Update, Cancel, CloseBox };

class TestURLs : public QObject {
    Q_OBJECT
private slots:
    void edit_data();
    void edit();
    void missingFile();
    void deleteTwiceRemovesOne();
    void savedMeanwhileIsKept();
    void failedWriteKeepsTheFile();
    void encodings_data();
    void encodings();
    void hugeAndBinaryFile();
    void oneWindow();
    void downloadWindowKeepsItsList();
    void controls();

private:
    static URLs *find();
    static QStringList listed(URLs *w);
};

URLs *TestURLs::find() {
    URLs *found = nullptr;
    int count = 0;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *urls = qobject_cast<URLs *>(w); urls && urls->isVisible()) {
            found = urls;
            ++count;
        }
    }
    return count == 1 ? found : nullptr;
}

QStringList TestURLs::listed(URLs *w) {
    QStringList entries;
    for (int i = 0; i < w->l1->count(); ++i)
        entries.append(w->l1->item(i)->text());
    return entries;
}

void TestURLs::edit_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QList<int>>("deletions"); // rows selected and deleted; -1: none selected
    QTest::addColumn<int>("leave");
    QTest::addColumn<QByteArray>("after");

    const QByteArray three = "\"http://a/\"\r\n\"http://b/\"\r\n\"http://c/\"\r\n";
    const QStringList abc{"http://a/", "http://b/", "http://c/"};
    QTest::newRow("delete the second of three") << three << abc << QList<int>{1} << int(Update)
                                                << QByteArray("\"http://a/\"\r\n\"http://c/\"\r\n");
    QTest::newRow("delete every entry")
        << three << abc << QList<int>{0, 0, 0} << int(Update) << QByteArray();
    QTest::newRow("delete with nothing selected")
        << three << abc << QList<int>{-1} << int(Update) << three;
    QTest::newRow("cancel after deletions")
        << three << abc << QList<int>{0, 1} << int(Cancel) << three;
    QTest::newRow("close box after deletions")
        << three << abc << QList<int>{0} << int(CloseBox) << three;
    QTest::newRow("line without quotes")
        << QByteArray("http://x/\r\n") << QStringList{"ttp://x"} << QList<int>{} << int(Update)
        << QByteArray("\"ttp://x\"\r\n");
    QTest::newRow("empty line: the rest kept as it is")
        << QByteArray("\"a\"\r\n\"b\"\r\n\r\n\"c\"\nplain\r\n") << QStringList{"a", "b"}
        << QList<int>{0} << int(Update) << QByteArray("\"b\"\r\n\r\n\"c\"\r\nplain\r\n");
    QTest::newRow("one-character line: the rest kept as it is")
        << QByteArray("\"a\"\r\nx\r\n\"c\"\r\n") << QStringList{"a"} << QList<int>{0} << int(Update)
        << QByteArray("x\r\n\"c\"\r\n");
    QTest::newRow("last line without line end")
        << QByteArray("\"a\"\r\n\"b\"") << QStringList{"a", "b"} << QList<int>{} << int(Update)
        << QByteArray("\"a\"\r\n\"b\"\r\n");
}

void TestURLs::edit() {
    QFETCH(QByteArray, before);
    QFETCH(QStringList, shown);
    QFETCH(QList<int>, deletions);
    QFETCH(int, leave);
    QFETCH(QByteArray, after);
    WebFixture fx;
    writeFile(fx.pomiIni(), before);
    fx.main->m1_3->trigger();
    URLs *w = find();
    QVERIFY(w);
    QCOMPARE(listed(w), shown);
    for (int row : deletions) {
        if (row >= 0)
            w->l1->item(row)->setSelected(true);
        w->Command1->click();
    }
    QPointer<URLs> guard(w);
    if (leave == Update)
        w->Command2->click();
    else if (leave == Cancel)
        w->Command3->click();
    else
        w->close();
    QTRY_VERIFY(!guard);
    QCOMPARE(readFile(fx.pomiIni()), after);
    QCOMPARE(fx.messages.get()->shown().size(), 0);
}

void TestURLs::missingFile() {
    WebFixture fx;
    fx.main->m1_3_Click();
    URLs *w = find();
    QVERIFY(w);
    QCOMPARE(w->l1->count(), 0);
    QVERIFY(QFileInfo::exists(fx.pomiIni()));
    QCOMPARE(readFile(fx.pomiIni()), QByteArray());
    w->Command2->click();
    QCOMPARE(readFile(fx.pomiIni()), QByteArray());
}

void TestURLs::deleteTwiceRemovesOne() {
    WebFixture fx;
    writeFile(fx.pomiIni(), "\"a\"\r\n\"b\"\r\n\"c\"\r\n");
    fx.main->m1_3_Click();
    URLs *w = find();
    w->l1->item(0)->setSelected(true);
    w->Command1->click();
    w->Command1->click();
    QCOMPARE(listed(w), (QStringList{"b", "c"}));
    QCOMPARE(w->l1->selectedItems().size(), 0);
}

void TestURLs::savedMeanwhileIsKept() {
    WebFixture fx;
    writeFile(fx.pomiIni(), "\"a\"\r\n\"b\"\r\n");
    fx.main->m1_3_Click();
    URLs *w = find();
    INTE *inte = fx.open();
    inte->l2->setEditText(QStringLiteral("http://new/"));
    inte->Command2_Click();
    w->l1->item(0)->setSelected(true);
    w->Command1->click();
    w->Command2->click();
    QCOMPARE(readFile(fx.pomiIni()), QByteArray("\"b\"\r\n\"http://new/\"\r\n"));
}

void TestURLs::failedWriteKeepsTheFile() {
    WebFixture fx;
    const QByteArray before = "\"a\"\r\n\"b\"\r\n";
    writeFile(fx.pomiIni(), before);
    fx.main->m1_3_Click();
    URLs *w = find();
    w->l1->item(0)->setSelected(true);
    w->Command1->click();
    PomiIni::setWriteFaultForTests([] { return int(GeneralFailure); });
    w->Command2->click();
    PomiIni::setWriteFaultForTests(nullptr);
    QCOMPARE(readFile(fx.pomiIni()), before);
    QVERIFY(w->isVisible());
    QCOMPARE(listed(w), QStringList{"b"});
    QCOMPARE(fx.messages.get()->shown().size(), 1);
    QCOMPARE(fx.messages.get()->texts().first(),
             QStringLiteral("保存しているURLのファイルを書き込めませんでした。") +
                 errorText(GeneralFailure));
    // The file cannot be read back: the same, and nothing written.
    QFile::remove(fx.pomiIni());
    QDir().mkpath(fx.pomiIni());
    w->Command2->click();
    QCOMPARE(fx.messages.get()->shown().size(), 2);
    QVERIFY(QFileInfo(fx.pomiIni()).isDir());
    QVERIFY(w->isVisible());
    QDir(fx.pomiIni()).removeRecursively();
}

void TestURLs::encodings_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("entries");
    const QString jp = QStringLiteral("http://h/日本語.html");
    const QString beyond = QStringLiteral("http://h/한국어.html");
    QTest::newRow("Shift_JIS") << sjis("\"" + jp + "\"\r\n\"http://a/\"\r\n")
                               << QStringList{jp, "http://a/"};
    QTest::newRow("UTF-8") << QString("\"" + jp + "\"\r\n\"" + beyond + "\"\r\n").toUtf8()
                           << QStringList{jp, beyond};
}

void TestURLs::encodings() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, entries);
    WebFixture fx;
    writeFile(fx.pomiIni(), bytes);
    fx.main->m1_3_Click();
    URLs *w = find();
    QCOMPARE(listed(w), entries);
    w->Command2->click();
    // Written back byte for byte: Shift_JIS stays Shift_JIS, and a file
    // that needs UTF-8 stays UTF-8.
    QCOMPARE(readFile(fx.pomiIni()), bytes);
}

void TestURLs::hugeAndBinaryFile() {
    WebFixture fx;
    QByteArray huge(50 * 1024 * 1024, 'a');
    huge[0] = '"';
    huge[huge.size() - 1] = '"';
    QByteArray junk;
    for (int i = 1; i < 256; ++i)
        junk.append(char(i == 10 || i == 13 ? 'x' : i));
    writeFile(fx.pomiIni(), huge + "\r\n" + junk + "\r\n\"http://h/\"\r\n");
    fx.main->m1_3_Click();
    URLs *w = find();
    QVERIFY(w);
    QCOMPARE(w->l1->count(), 3);
    QCOMPARE(w->l1->item(2)->text(), QStringLiteral("http://h/"));
    w->l1->item(2)->setSelected(true);
    w->Command1->click();
    w->Command2->click();
    QStringList entries;
    QCOMPARE(PomiIni::read(&entries), 0);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0].size(), huge.size() - 2); // the long entry is written whole
}

void TestURLs::oneWindow() {
    WebFixture fx;
    fx.main->m1_3->trigger();
    URLs *w = find();
    QVERIFY(w);
    INTE *inte = fx.open();
    inte->Command4->click();
    fx.main->m1_3_Click();
    QCOMPARE(find(), w);
    // Closed, it starts afresh at the next opening.
    QPointer<URLs> guard(w);
    w->Command3->click();
    QTRY_VERIFY(!guard);
    writeFile(fx.pomiIni(), "\"x\"\r\n");
    inte->Command4->click();
    QVERIFY(find());
    QCOMPARE(listed(find()), QStringList{"x"});
}

void TestURLs::downloadWindowKeepsItsList() {
    WebFixture fx;
    writeFile(fx.pomiIni(), "\"a\"\r\n\"b\"\r\n");
    INTE *inte = fx.open();
    inte->Command4->click();
    URLs *w = find();
    w->l1->item(0)->setSelected(true);
    w->Command1->click();
    w->Command2->click();
    QCOMPARE(inte->l2->count(), 2); // not read again while open
    QPointer<INTE> guard(inte);
    inte->Command3->click();
    QTRY_VERIFY(!guard);
    INTE *again = fx.open();
    QCOMPARE(again->l2->count(), 1);
    QCOMPARE(again->l2->itemText(0), QStringLiteral("b"));
}

void TestURLs::controls() {
    WebFixture fx;
    writeFile(fx.pomiIni(), "\"http://h/a.html\"\r\n\"http://h/b.html\"\r\n");
    fx.main->m1_3_Click();
    URLs *w = find();
    QCOMPARE(w->windowTitle(), QStringLiteral("URLの整理"));
    QCOMPARE(w->size(), QSize(px(6000), px(4200)));
    QCOMPARE(w->Command1->text(), QStringLiteral("削除"));
    QCOMPARE(w->Command1->toolTip(), QStringLiteral("指定したサイドを削除します"));
    QCOMPARE(w->Command2->text(), QStringLiteral("更新して終了"));
    QCOMPARE(w->Command2->toolTip(), QStringLiteral("サイド情報を更新して終了"));
    QCOMPARE(w->Command3->text(), QStringLiteral("キャンセル"));
    QCOMPARE(w->Command3->toolTip(), QStringLiteral("更新しないで終了"));
    QCOMPARE(w->l1->toolTip(), QStringLiteral("削除するサイドを指定してください"));
    QCOMPARE(w->l1->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(w->Command2->geometry(), twipsRect(2055, 120, 1815, 375));
    QCOMPARE(w->l1->geometry(), twipsRect(120, 600, 5760, 3480));
    const QString build = qEnvironmentVariable("POMIV_BUILD_DIR");
    if (!build.isEmpty())
        QVERIFY(w->grab().save(build + QStringLiteral("/URLs.png")));
}

QTEST_MAIN(TestURLs)
#include "tst_urls.moc"
