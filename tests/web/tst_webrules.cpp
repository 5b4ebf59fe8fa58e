// The download's widget-free rules: link extraction and the base URL, what
// counts as a picture, names from addresses, and appending to the saved main
// URLs file.

#include "tests/support/TestFiles.h"
#include "web/rules/DownloadRules.h"
#include "web/rules/LinkExtract.h"
#include "web/rules/PomiIni.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace pomiv;
using namespace pomiv::test;

static QByteArray sjis(const QString &text) {
    return QStringEncoder("Shift_JIS").encode(text);
}

struct Scan {
    QString page{};
    QStringList links{};
    QString base = "http://h/d/", baseAfter = base;
};

struct IniAppend {
    QByteArray before{};
    QString address{};
    QByteArray after{};
};

class TestWebRules : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    const PomiIni m_ini{m_dir.path() + "/"};

private slots:
    void extract_data() {
        QTest::addColumn<Scan>("s");
        QTest::newRow("relative, dot dot, duplicates kept")
            << Scan{"<a href=\"pic/a.jpg\"><a href=\"../c.jpg\"><a href=\"../c.jpg\">",
                    {"http://h/d/pic/a.jpg", "http://h/d/../c.jpg", "http://h/d/../c.jpg"}};
        QTest::newRow("root relative, prefix not in base")
            << Scan{"<a href=\"/img/b.jpg\">", {"http://h/d/img/b.jpg"}};
        // The cut base and the prefix stay in force for the later links.
        QTest::newRow("root relative cuts the base")
            << Scan{"<a href=\"/img/b.jpg\"><a href=\"a.jpg\"><a href=\"/img/y.jpg\">",
                    {"http://h/img/b.jpg", "http://h/a.jpg", "http://h/img/y.jpg"},
                    "http://h/img/",
                    "http://h/"};
        QTest::newRow("prefix without a leading slash does not cut")
            << Scan{"<a href=\"img/x.jpg\">", {"http://h/d/img/img/x.jpg"}, "http://h/d/img/"};
        QTest::newRow("embedded address")
            << Scan{"<a href=\"http://h/go?u=http://i/g.jpg\">", {"http://i/g.jpg"}};
        QTest::newRow("unquoted href leaves the marker on")
            << Scan{"<a href=x.html>x</a><img src=\"t.jpg\">", {"http://h/d/t.jpg"}};
        QTest::newRow("single quotes: the next double quote collects")
            << Scan{"<a href='s.jpg'>x</a><b \"u.jpg\">", {"http://h/d/u.jpg"}};
        // JPG, jpeg, hRef, src, data-src, srcset, a marker at the very end.
        QTest::newRow("no picture links")
            << Scan{"<A HREF=\"http://h/e.JPG\"><a href=\"f.jpeg\"><a hRef=\"z.jpg\">"
                    "<img src=\"a.jpg\" data-src=\"b.jpg\" srcset=\"c.jpg 1x, d.jpg\"> href"};
        QTest::newRow("protocol-relative, same host")
            << Scan{"<a href=\"//h/x.jpg\">", {"http://h/x.jpg"}, "http://h/d/", "http:/"};
        QTest::newRow("protocol-relative, another host")
            << Scan{"<a href=\"//o/x.jpg\">", {"http://h/d//o/x.jpg"}};
        QTest::newRow("value without a closing quote runs to the end")
            << Scan{"<a href=\"abc.jpg", {"http://h/d/abc.jpg"}};
    }

    void extract() {
        QFETCH(Scan, s);
        const LinkScan scan = extractLinks(s.page, s.base);
        QCOMPARE(scan.links, s.links);
        QCOMPARE(scan.baseUrl, s.baseAfter);
    }

    void goodPictureAndSafeName() {
        const QByteArray jpeg = "\xFF\xD8\xFF\xE0", png = "\x89PNG\r\n\x1A\n",
                         le20000("\x20\x4E\0\0", 4);
        const QByteArray bmp = "BM" + le20000, webp = "RIFF" + QByteArray("\x18\x4E\0\0WEBP", 8);
        for (const QByteArray &head : {jpeg, png, QByteArray("GIF89a"), bmp, webp})
            QVERIFY2(isGoodPicture(head, 20000, 200) && isGoodPicture(head, 10000, 206) &&
                         !isGoodPicture(head, 9999, 200) && !isGoodPicture(head, 20000, 302),
                     head.constData());
        QVERIFY(!isGoodPicture("PK\x03\x04", 20000, 200));
        // Whether a picture ends whole, when only the connection's end says so.
        QVERIFY(endsWhole(jpeg, "jjj\xFF\xD9", 20000) && endsWhole(jpeg, "\xFF\xD9\r\n\0", 20000));
        QVERIFY(!endsWhole(jpeg, "jjjj\xFF", 20000) && !endsWhole(jpeg, "\xFF\xD9j", 20000));
        QVERIFY(endsWhole(png, "IEND\xAE\x42\x60\x82", 20000) && !endsWhole(png, "IEND", 20000));
        QVERIFY(endsWhole("GIF89a", "x;", 20000) && !endsWhole("GIF89a", "x", 20000));
        QVERIFY(endsWhole(bmp, "x", 20000) && !endsWhole(bmp, "x", 19999));
        QVERIFY(endsWhole(webp, "x", 20000) && !endsWhole(webp, "x", 20001));
        QCOMPARE(safeFileName(addressName("http://h/p?x=1&y=\"a\"|b<c>*.jpg")),
                 "p_x=1&y=_a__b_c__.jpg");
        QCOMPARE(safeFileName(addressName("http://h/c:\td.jpg")), "c__d.jpg");
        QVERIFY(fileNameFits(QString(255, 'n')) && !fileNameFits(QString(256, 'n')));
        QVERIFY(!fileNameFits(QString(128, QChar(0x3042)))); // 384 bytes
    }

    void appendToPomiIni_data() {
        QTest::addColumn<IniAppend>("a");
        const QByteArray jpLine = "\"http://h/日本.html\"";
        const QString jp = "http://h/写真.html", beyond = "http://h/한국/😀.html";
        QTest::newRow("no line end") << IniAppend{"\"a\"", "n", "\"a\"\r\n\"n\"\r\n"};
        QTest::newRow("LF end") << IniAppend{"\"a\"\n", "n", "\"a\"\n\"n\"\r\n"};
        QTest::newRow("CR end") << IniAppend{"\"a\"\r", "n", "\"a\"\r\"n\"\r\n"};
        QTest::newRow("empty file") << IniAppend{"", "n", "\"n\"\r\n"};
        QTest::newRow("Shift_JIS file, Shift_JIS line")
            << IniAppend{sjis(jpLine + "\r\n"), jp, sjis(jpLine + "\r\n\"" + jp + "\"\r\n")};
        QTest::newRow("UTF-8 file, UTF-8 line")
            << IniAppend{jpLine + "\r\n", jp, jpLine + "\r\n\"" + jp.toUtf8() + "\"\r\n"};
        QTest::newRow("beyond Shift_JIS: all in UTF-8, marked") << IniAppend{
            sjis(jpLine), beyond, "\xef\xbb\xbf" + jpLine + "\r\n\"" + beyond.toUtf8() + "\"\r\n"};
        QByteArray junk; // every byte but CR and LF
        for (int i = 1; i < 256; ++i)
            junk.append(char(i == 10 || i == 13 ? 'x' : i));
        QTest::newRow("binary bytes kept")
            << IniAppend{junk, "http://h/", junk + "\r\n\"http://h/\"\r\n"};
    }

    void appendToPomiIni() {
        QFETCH(IniAppend, a);
        writeFile(m_ini.path(), a.before);
        QCOMPARE(m_ini.append(a.address), 0);
        QCOMPARE(readFile(m_ini.path()), a.after);
    }

    void appendCutShortLeavesTheFile() {
        // A size limit stops the write as a full disk would, even for root.
        const QByteArray before = "\"http://h/a.html\"\r\n";
        writeFile(m_ini.path(), before);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = rlim_t(before.size() + 8);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const int err = m_ini.append("http://h/a-much-longer-address.html");
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(err != 0);
        QCOMPARE(readFile(m_ini.path()), before);
    }
};

QTEST_MAIN(TestWebRules)
#include "tst_webrules.moc"
