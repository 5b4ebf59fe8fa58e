// The saved main URLs file: reading, appending and writing anew.

#include "platform/Errors.h"
#include "settings/Shared.h"
#include "tests/support/TestSupport.h"
#include "web/PomiIni.h"

#include <QElapsedTimer>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace pomiv;
using namespace pomiv::test;

static QByteArray sjis(const QString &text) {
    QStringEncoder encoder("Shift_JIS");
    return encoder.encode(text);
}

class TestPomiIni : public QObject {
    Q_OBJECT
private slots:
    void init();
    void read_data();
    void read();
    void missingFileIsCreatedEmpty();
    void appendAddsAQuotedLine();
    void appendAfterALastLineWithoutEnd_data();
    void appendAfterALastLineWithoutEnd();
    void appendKeepsTheFileEncoding();
    void appendBeyondShiftJisRewritesInUtf8();
    void appendToMissingFolderFails();
    void binaryBytes();
    void longLine();
    void writeAnew();

private:
    QString file() const { return PomiIni::path(); }
    QTemporaryDir m_dir;
};

void TestPomiIni::init() {
    QVERIFY(m_dir.isValid());
    AppDir = m_dir.path() + QLatin1Char('/');
    QFile::remove(file());
}

void TestPomiIni::read_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("err");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("two lines") << QByteArray("\"http://h/b.html\"\r\n\"http://c/\"\r\n") << 0
                               << QStringList{"http://h/b.html", "http://c/"};
    QTest::newRow("no quotes still loses two characters")
        << QByteArray("http://x/\r\n") << 0 << QStringList{"ttp://x"};
    QTest::newRow("last line without line end")
        << QByteArray("\"a\"\r\n\"b\"") << 0 << QStringList{"a", "b"};
    QTest::newRow("LF and CR line ends")
        << QByteArray("\"a\"\n\"b\"\r\"c\"\r\n") << 0 << QStringList{"a", "b", "c"};
    QTest::newRow("empty line stops the reading")
        << QByteArray("\"a\"\r\n\r\n\"b\"\r\n") << int(GeneralFailure) << QStringList{"a"};
    QTest::newRow("one-character line stops the reading")
        << QByteArray("\"a\"\r\nx\r\n\"b\"\r\n") << int(GeneralFailure) << QStringList{"a"};
    QTest::newRow("two quotes give an empty entry")
        << QByteArray("\"\"\r\n\"b\"\r\n") << 0 << QStringList{"", "b"};
    QTest::newRow("quote inside kept")
        << QByteArray("\"http://h/?q=\"x\"\"\r\n") << 0 << QStringList{"http://h/?q=\"x\""};
    QTest::newRow("duplicates kept")
        << QByteArray("\"a\"\r\n\"a\"\r\n") << 0 << QStringList{"a", "a"};
    QTest::newRow("empty file") << QByteArray() << 0 << QStringList{};
    QTest::newRow("Shift_JIS") << sjis(QStringLiteral("\"http://h/日本.html\"\r\n")) << 0
                               << QStringList{QStringLiteral("http://h/日本.html")};
    QTest::newRow("UTF-8") << QStringLiteral("\"http://h/日本.html\"\r\n").toUtf8() << 0
                           << QStringList{QStringLiteral("http://h/日本.html")};
}

void TestPomiIni::read() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, err);
    QFETCH(QStringList, entries);
    writeFile(file(), bytes);
    QStringList got;
    QCOMPARE(PomiIni::read(&got), err);
    QCOMPARE(got, entries);
}

void TestPomiIni::missingFileIsCreatedEmpty() {
    QStringList got;
    QCOMPARE(PomiIni::read(&got), int(FileNotFound));
    QCOMPARE(PomiIni::createEmpty(), 0);
    QVERIFY(QFileInfo::exists(file()));
    QCOMPARE(readFile(file()), QByteArray());
    // An existing file is never emptied.
    writeFile(file(), "\"a\"\r\n");
    QCOMPARE(PomiIni::createEmpty(), 0);
    QCOMPARE(readFile(file()), QByteArray("\"a\"\r\n"));
}

void TestPomiIni::appendAddsAQuotedLine() {
    QCOMPARE(PomiIni::append(QStringLiteral("http://h/b.html")), 0);
    QCOMPARE(PomiIni::append(QStringLiteral("http://h/B.html")), 0);
    QCOMPARE(readFile(file()), QByteArray("\"http://h/b.html\"\r\n\"http://h/B.html\"\r\n"));
}

void TestPomiIni::appendAfterALastLineWithoutEnd_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("no line end") << QByteArray("\"a\"") << QByteArray("\"a\"\r\n\"n\"\r\n");
    QTest::newRow("LF end") << QByteArray("\"a\"\n") << QByteArray("\"a\"\n\"n\"\r\n");
    QTest::newRow("CR end") << QByteArray("\"a\"\r") << QByteArray("\"a\"\r\"n\"\r\n");
    QTest::newRow("empty file") << QByteArray() << QByteArray("\"n\"\r\n");
}

void TestPomiIni::appendAfterALastLineWithoutEnd() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    writeFile(file(), before);
    QCOMPARE(PomiIni::append(QStringLiteral("n")), 0);
    QCOMPARE(readFile(file()), after);
}

void TestPomiIni::appendKeepsTheFileEncoding() {
    const QString jpUrl = QStringLiteral("http://h/写真.html");
    // A Shift_JIS file gets a Shift_JIS line.
    const QByteArray sjisLine = sjis(QStringLiteral("\"http://h/日本.html\"\r\n"));
    writeFile(file(), sjisLine);
    QCOMPARE(PomiIni::append(jpUrl), 0);
    QCOMPARE(readFile(file()),
             sjisLine + sjis(QLatin1Char('"') + jpUrl + QStringLiteral("\"\r\n")));
    // A UTF-8 file gets a UTF-8 line.
    const QByteArray utf8Line = QStringLiteral("\"http://h/日本.html\"\r\n").toUtf8();
    writeFile(file(), utf8Line);
    QCOMPARE(PomiIni::append(jpUrl), 0);
    QCOMPARE(readFile(file()),
             utf8Line + (QLatin1Char('"') + jpUrl + QStringLiteral("\"\r\n")).toUtf8());
    QStringList entries;
    QCOMPARE(PomiIni::read(&entries), 0);
    QCOMPARE(entries, (QStringList{QStringLiteral("http://h/日本.html"), jpUrl}));
}

void TestPomiIni::appendBeyondShiftJisRewritesInUtf8() {
    // Hangul and an emoji have no Shift_JIS form.
    const QString url = QStringLiteral("http://h/한국/😀.html");
    writeFile(file(), sjis(QStringLiteral("\"http://h/日本.html\"")));
    QCOMPARE(PomiIni::append(url), 0);
    QCOMPARE(
        readFile(file()),
        (QStringLiteral("\"http://h/日本.html\"\r\n\"") + url + QStringLiteral("\"\r\n")).toUtf8());
    QStringList entries;
    QCOMPARE(PomiIni::read(&entries), 0);
    QCOMPARE(entries, (QStringList{QStringLiteral("http://h/日本.html"), url}));
}

void TestPomiIni::appendToMissingFolderFails() {
    AppDir = m_dir.path() + QStringLiteral("/missing/");
    QVERIFY(PomiIni::append(QStringLiteral("http://h/")) != 0);
    QVERIFY(!QFileInfo::exists(file()));
    QVERIFY(PomiIni::createEmpty() != 0);
}

void TestPomiIni::binaryBytes() {
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char((i * 7919) % 256));
    writeFile(file(), junk);
    QStringList entries;
    PomiIni::read(&entries); // whatever it finds, it ends
    QCOMPARE(PomiIni::append(QStringLiteral("http://h/")), 0);
    const QByteArray after = readFile(file());
    QVERIFY(after.startsWith(junk)); // nothing of the old bytes is lost
    QVERIFY(after.endsWith("\"http://h/\"\r\n"));
}

void TestPomiIni::longLine() {
    QByteArray line(50 * 1024 * 1024, 'a');
    line[0] = '"';
    line[line.size() - 1] = '"';
    writeFile(file(), line + "\r\n\"b\"\r\n");
    QStringList entries;
    QCOMPARE(PomiIni::read(&entries), 0);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0].size(), line.size() - 2);
    QCOMPARE(entries[1], QStringLiteral("b"));
}

void TestPomiIni::writeAnew() {
    writeFile(file(), "\"old\"\r\n");
    QCOMPARE(PomiIni::writeAnew({PomiIni::quoted("a"), PomiIni::quoted(QStringLiteral("日本"))}),
             0);
    QCOMPARE(readFile(file()), sjis(QStringLiteral("\"a\"\r\n\"日本\"\r\n")));
    QCOMPARE(PomiIni::writeAnew({PomiIni::quoted(QStringLiteral("한"))}), 0);
    QCOMPARE(readFile(file()), QStringLiteral("\"한\"\r\n").toUtf8());
    QCOMPARE(PomiIni::writeAnew({}), 0);
    QCOMPARE(readFile(file()), QByteArray());
}

QTEST_GUILESS_MAIN(TestPomiIni)
#include "tst_pomiini.moc"
