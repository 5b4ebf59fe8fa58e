// Link extraction, the base URL, page decoding and the download's naming
// rules: all without a window.

#include "platform/Errors.h"
#include "web/DownloadRules.h"
#include "web/LinkExtract.h"
#include "web/PageDecoding.h"

#include <QStringEncoder>
#include <QTest>

using namespace pomiv;

class TestLinkExtract : public QObject {
    Q_OBJECT
private slots:
    void extract_data();
    void extract();
    void cutBaseStaysForLaterLinks();
    void baseAndEmbeddedCut_data();
    void baseAndEmbeddedCut();
    void decoding_data();
    void decoding();
    void numberField_data();
    void numberField();
    void goodPicture_data();
    void goodPicture();
    void safeNames_data();
    void safeNames();
};

void TestLinkExtract::extract_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QString>("baseAfter");

    const QString d = QStringLiteral("http://h/d/");
    QTest::newRow("relative") << "<a href=\"pic/a.jpg\">" << d
                              << QStringList{"http://h/d/pic/a.jpg"} << d;
    QTest::newRow("root relative, prefix not in base")
        << "<a href=\"/img/b.jpg\">" << d << QStringList{"http://h/d/img/b.jpg"} << d;
    QTest::newRow("root relative cuts the base")
        << "<a href=\"/img/b.jpg\">"
        << "http://h/img/" << QStringList{"http://h/img/b.jpg"} << "http://h/";
    QTest::newRow("dot dot") << "<a href=\"../c.jpg\">" << d << QStringList{"http://h/d/../c.jpg"}
                             << d;
    QTest::newRow("upper-case JPG and jpeg")
        << "<A HREF=\"http://h/e.JPG\"><a href=\"f.jpeg\">" << d << QStringList{} << d;
    QTest::newRow("embedded address")
        << "<a href=\"http://h/go?u=http://i/g.jpg\">" << d << QStringList{"http://i/g.jpg"} << d;
    QTest::newRow("Http spelling kept")
        << "<a Href=\"Http://h/a.jpg\">" << d << QStringList{"Http://h/a.jpg"} << d;
    QTest::newRow("unquoted href leaves the marker on")
        << "<a href=x.html>x</a><img src=\"t.jpg\">" << d << QStringList{"http://h/d/t.jpg"} << d;
    QTest::newRow("single quotes: the next double quote collects")
        << "<a href='s.jpg'>x</a><b \"u.jpg\">" << d << QStringList{"http://h/d/u.jpg"} << d;
    QTest::newRow("hRef starts nothing") << "<a hRef=\"z.jpg\">" << d << QStringList{} << d;
    QTest::newRow("src, data-src and srcset are not links")
        << "<img src=\"a.jpg\" data-src=\"b.jpg\" srcset=\"c.jpg 1x, d.jpg\">" << d << QStringList{}
        << d;
    QTest::newRow("protocol-relative, same host")
        << "<a href=\"//h/x.jpg\">" << d << QStringList{"http://h/x.jpg"} << "http:/";
    QTest::newRow("protocol-relative, another host")
        << "<a href=\"//o/x.jpg\">" << d << QStringList{"http://h/d//o/x.jpg"} << d;
    QTest::newRow("duplicates are kept")
        << "<a href=\"a.jpg\"><a href=\"a.jpg\">" << d
        << QStringList{"http://h/d/a.jpg", "http://h/d/a.jpg"} << d;
    QTest::newRow("prefix without a leading slash does not cut")
        << "<a href=\"img/x.jpg\">"
        << "http://h/d/img/" << QStringList{"http://h/d/img/img/x.jpg"} << "http://h/d/img/";
    QTest::newRow("value without a closing quote runs to the end")
        << "<a href=\"abc.jpg" << d << QStringList{"http://h/d/abc.jpg"} << d;
    QTest::newRow("empty value") << "<a href=\"\">" << d << QStringList{} << d;
    QTest::newRow("marker at the very end") << "x href" << d << QStringList{} << d;
    QTest::newRow("empty page") << "" << d << QStringList{} << d;
    QTest::newRow("Japanese names") << QStringLiteral("<a href=\"写真/花.jpg\">") << d
                                    << QStringList{QStringLiteral("http://h/d/写真/花.jpg")} << d;
}

void TestLinkExtract::extract() {
    QFETCH(QString, page);
    QFETCH(QString, base);
    QFETCH(QStringList, links);
    QFETCH(QString, baseAfter);
    const LinkScan scan = extractLinks(page, base);
    QCOMPARE(scan.links, links);
    QCOMPARE(scan.baseUrl, baseAfter);
}

void TestLinkExtract::cutBaseStaysForLaterLinks() {
    // The prefix of /img/x.jpg stays in force for a.jpg, and the cut base
    // serves it.
    const LinkScan scan =
        extractLinks(u"<a href=\"/img/x.jpg\"><a href=\"a.jpg\"><a href=\"/img/y.jpg\">",
                     QStringLiteral("http://h/img/"));
    QCOMPARE(scan.links,
             (QStringList{"http://h/img/x.jpg", "http://h/a.jpg", "http://h/img/y.jpg"}));
    QCOMPARE(scan.baseUrl, QStringLiteral("http://h/"));
}

void TestLinkExtract::baseAndEmbeddedCut_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("cut");

    QTest::newRow("page") << "http://h/d/index.html"
                          << "http://h/d/"
                          << "http://h/d/index.html";
    QTest::newRow("query with an address") << "http://x/r?u=http://h/z.jpg"
                                           << "http://x/r?u=http://h/"
                                           << "http://h/z.jpg";
    QTest::newRow("HTTP embedded") << "http://x/?HTTP://h/z.jpg"
                                   << "http://x/?HTTP://h/"
                                   << "HTTP://h/z.jpg";
    QTest::newRow("no slash keeps the base") << "word"
                                             << "http://old/"
                                             << "word";
}

void TestLinkExtract::baseAndEmbeddedCut() {
    QFETCH(QString, address);
    QFETCH(QString, base);
    QFETCH(QString, cut);
    QCOMPARE(baseUrlOf(address, QStringLiteral("http://old/")), base);
    QCOMPARE(embeddedAddressCut(address), cut);
}

void TestLinkExtract::decoding_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("text");

    const QString text = QStringLiteral("<a href=\"写真/花.jpg\">日本語のページ</a>");
    const QByteArray sjis = QStringEncoder("Shift_JIS").encode(text);
    const QByteArray euc = QStringEncoder("EUC-JP").encode(text);
    const QByteArray metaEuc =
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">";
    const QByteArray metaSjis = "<META charset='shift_jis'>";

    QTest::newRow("UTF-8 undeclared") << text.toUtf8() << QByteArray("text/html") << text;
    QTest::newRow("Shift_JIS undeclared") << sjis << QByteArray() << text;
    QTest::newRow("Shift_JIS in the header")
        << sjis << QByteArray("text/html; charset=Shift_JIS") << text;
    QTest::newRow("EUC-JP in the header")
        << euc << QByteArray("text/html;charset=\"euc-jp\"") << text;
    QTest::newRow("EUC-JP in a meta tag")
        << metaEuc + euc << QByteArray("text/html") << QString::fromLatin1(metaEuc) + text;
    QTest::newRow("Shift_JIS in a meta tag")
        << metaSjis + sjis << QByteArray() << QString::fromLatin1(metaSjis) + text;
    QTest::newRow("header before meta") << metaSjis + euc << QByteArray("text/html; charset=EUC-JP")
                                        << QString::fromLatin1(metaSjis) + text;
    QTest::newRow("unknown header charset falls to the meta")
        << metaEuc + euc << QByteArray("text/html; charset=x-nothing")
        << QString::fromLatin1(metaEuc) + text;
    QTest::newRow("byte-order mark first") << QByteArray("\xEF\xBB\xBF") + text.toUtf8()
                                           << QByteArray("text/html; charset=Shift_JIS") << text;
}

void TestLinkExtract::decoding() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, text);
    QStringDecoder decoder = pageDecoder(body, contentType);
    QVERIFY(decoder.isValid());
    // Decoded in pieces of 7 bytes, so characters are split between pieces.
    QString decoded;
    for (qsizetype at = 0; at < body.size(); at += 7)
        decoded += decoder.decode(body.mid(at, 7));
    QCOMPARE(decoded, text);
}

void TestLinkExtract::numberField_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("err");
    QTest::addColumn<qint64>("value");

    QTest::newRow("plain") << "12" << 0 << qint64(12);
    QTest::newRow("leading zeros") << "007" << 0 << qint64(7);
    QTest::newRow("spaces and sign") << "  +3 " << 0 << qint64(3);
    QTest::newRow("negative") << "-5" << 0 << qint64(-5);
    QTest::newRow("largest") << "2147483647" << 0 << qint64(2147483647);
    QTest::newRow("smallest") << "-2147483648" << 0 << qint64(-2147483648LL);
    QTest::newRow("fraction") << "1.5" << int(TypeMismatch) << qint64(0);
    QTest::newRow("thousands") << "1,000" << int(TypeMismatch) << qint64(0);
    QTest::newRow("letters") << "abc" << int(TypeMismatch) << qint64(0);
    QTest::newRow("only spaces") << "   " << int(TypeMismatch) << qint64(0);
    QTest::newRow("sign alone") << "-" << int(TypeMismatch) << qint64(0);
    QTest::newRow("sixteen digits") << "1234567890123456" << int(TypeMismatch) << qint64(0);
    QTest::newRow("full-width digits") << QStringLiteral("１２") << int(TypeMismatch) << qint64(0);
    QTest::newRow("beyond 32 bits") << "2147483648" << int(NumberOverflow) << qint64(0);
    QTest::newRow("fifteen nines") << "999999999999999" << int(NumberOverflow) << qint64(0);
}

void TestLinkExtract::numberField() {
    QFETCH(QString, text);
    QFETCH(int, err);
    QFETCH(qint64, value);
    qint64 got = -99;
    QCOMPARE(parseNumberField(text, &got), err);
    if (err == 0)
        QCOMPARE(got, value);
}

void TestLinkExtract::goodPicture_data() {
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("good");

    QTest::newRow("jpeg 10000") << QByteArray("\xFF\xD8\xFF\xE0") << 10000 << 200 << true;
    QTest::newRow("jpeg 9999") << QByteArray("\xFF\xD8\xFF\xE0") << 9999 << 200 << false;
    QTest::newRow("png") << QByteArray("\x89PNG\r\n\x1A\n") << 20000 << 200 << true;
    QTest::newRow("gif") << QByteArray("GIF89a") << 20000 << 200 << true;
    QTest::newRow("bmp") << QByteArray("BM") << 20000 << 200 << true;
    QTest::newRow("webp") << QByteArray("RIFF\0\0\0\0WEBP", 12) << 20000 << 200 << true;
    QTest::newRow("html under .jpg") << QByteArray("<html>") << 50000 << 200 << false;
    QTest::newRow("jpeg with 404") << QByteArray("\xFF\xD8\xFF\xE0") << 20000 << 404 << false;
    QTest::newRow("jpeg with 206") << QByteArray("\xFF\xD8\xFF\xE0") << 20000 << 206 << true;
}

void TestLinkExtract::goodPicture() {
    QFETCH(QByteArray, head);
    QFETCH(int, size);
    QFETCH(int, status);
    QFETCH(bool, good);
    QByteArray body = head;
    body.append(QByteArray(size - head.size(), 'x'));
    QCOMPARE(isGoodPicture(body, status), good);
}

void TestLinkExtract::safeNames_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("safe");

    QTest::newRow("plain") << "http://h/p/photo.jpg"
                           << "photo.jpg"
                           << "photo.jpg";
    QTest::newRow("query") << "http://h/p?x=1&y=\"a\"|b<c>*.jpg"
                           << "p?x=1&y=\"a\"|b<c>*.jpg"
                           << "p_x=1&y=_a__b_c__.jpg";
    QTest::newRow("backslashes") << "http://h/a\\..\\..\\b.jpg"
                                 << "a\\..\\..\\b.jpg"
                                 << "a_.._.._b.jpg";
    QTest::newRow("percent kept") << "http://h/a%2F..%2Fb.jpg"
                                  << "a%2F..%2Fb.jpg"
                                  << "a%2F..%2Fb.jpg";
    QTest::newRow("dot dot segment") << "http://h/a/../c.jpg"
                                     << "c.jpg"
                                     << "c.jpg";
    QTest::newRow("colon and tab") << "http://h/c:\td.jpg"
                                   << "c:\td.jpg"
                                   << "c__d.jpg";
}

void TestLinkExtract::safeNames() {
    QFETCH(QString, address);
    QFETCH(QString, name);
    QFETCH(QString, safe);
    QCOMPARE(addressName(address), name);
    QCOMPARE(safeFileName(name), safe);
}

QTEST_GUILESS_MAIN(TestLinkExtract)
#include "tst_linkextract.moc"
