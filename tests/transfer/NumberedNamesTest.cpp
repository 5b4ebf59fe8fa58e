#include "transfer/NumberedNames.h"

#include <QTest>

using namespace pomiv;

class NumberedNamesTest : public QObject {
    Q_OBJECT
private slots:
    void extension_data();
    void extension();
    void numberReads_data();
    void numberReads();
    void numberRefused_data();
    void numberRefused();
};

void NumberedNamesTest::extension_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("newName");
    QTest::newRow("three letters") << "x.jpg"
                                   << "A1.jpg";
    QTest::newRow("four letters") << "photo.jpeg"
                                  << "A1.jpeg";
    QTest::newRow("one letter") << "ab.c"
                                << "A1.c";
    QTest::newRow("no dot, long") << "README"
                                  << "A1";
    QTest::newRow("no dot, short") << "ab"
                                   << "A1";
    QTest::newRow("dot only first") << ".profile"
                                    << "A1";
    QTest::newRow("several dots") << "a.b.c.GIF"
                                  << "A1.GIF";
    QTest::newRow("trailing dot") << "x."
                                  << "A1.";
    QTest::newRow("japanese name") << "写真.jpg"
                                   << "A1.jpg";
}

void NumberedNamesTest::extension() {
    QFETCH(QString, source);
    QFETCH(QString, newName);
    QCOMPARE(numberedName(QStringLiteral("A"), 1, source), newName);
}

void NumberedNamesTest::numberReads_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("number");
    QTest::newRow("plain") << "1" << qint64(1);
    QTest::newRow("leading zeros") << "007" << qint64(7);
    QTest::newRow("blanks around") << "  12\t" << qint64(12);
    QTest::newRow("plus") << "+5" << qint64(5);
    QTest::newRow("minus") << "-3" << qint64(-3);
    QTest::newRow("minus zero") << "-0" << qint64(0);
    QTest::newRow("fifteen digits") << "999999999999999" << qint64(999999999999999);
}

void NumberedNamesTest::numberReads() {
    QFETCH(QString, text);
    QFETCH(qint64, number);
    const std::optional<qint64> read = parseRunningNumber(text);
    QVERIFY(read.has_value());
    QCOMPARE(*read, number);
}

void NumberedNamesTest::numberRefused_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("letters") << "abc";
    QTest::newRow("fraction") << "1.5";
    QTest::newRow("thousands separator") << "1,000";
    QTest::newRow("empty") << "";
    QTest::newRow("blanks only") << "   ";
    QTest::newRow("sign only") << "-";
    QTest::newRow("blank after sign") << "- 1";
    QTest::newRow("inner blank") << "1 2";
    QTest::newRow("sixteen digits") << "1000000000000000";
    QTest::newRow("exponent") << "1e3";
}

void NumberedNamesTest::numberRefused() {
    QFETCH(QString, text);
    QVERIFY(!parseRunningNumber(text).has_value());
}

QTEST_APPLESS_MAIN(NumberedNamesTest)
#include "NumberedNamesTest.moc"
