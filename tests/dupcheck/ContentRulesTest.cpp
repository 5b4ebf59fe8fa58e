#include "dupcheck/ContentRules.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace pomiv;
using namespace pomiv::test;

class ContentRulesTest : public QObject {
    Q_OBJECT
private slots:
    void fingerprint_data();
    void fingerprint();
    void sampleMatchesBytes_data();
    void sampleMatchesBytes();
    void sampleOfMissingFile();
    void compare_data();
    void compare();
    void grouping_data();
    void grouping();
    void comparesOnlyWithinKey();

private:
    QTemporaryDir m_dir;
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
};

static QByteArray randomBytes(qsizetype size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (char &c : bytes)
        c = static_cast<char>(random.bounded(256));
    return bytes;
}

void ContentRulesTest::fingerprint_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("fingerprint");
    QByteArray fifty(50, 'x');
    fifty[0] = 10;
    QByteArray sampled(101, '\x7f');
    sampled[0] = 1;
    sampled[50] = 2;
    sampled[100] = 3;
    QTest::newRow("empty") << QByteArray() << qint64(0);
    QTest::newRow("50 bytes, first 10") << fifty << qint64(60);
    QTest::newRow("60 zero bytes") << QByteArray(60, '\0') << qint64(60);
    QTest::newRow("offsets 0, 50, 100") << sampled << qint64(101 + 1 + 2 + 3);
    QTest::newRow("bytes read unsigned") << QByteArray(1, '\xff') << qint64(1 + 255);
}

void ContentRulesTest::fingerprint() {
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, fingerprint);
    QCOMPARE(fingerprintOf(bytes), fingerprint);
    writeFile(path("f"), bytes);
    const ContentSample sample = sampleFile(path("f"));
    QVERIFY(sample.readable);
    QCOMPARE(sample.length, qint64(bytes.size()));
    QCOMPARE(sample.fingerprint, fingerprint);
}

void ContentRulesTest::sampleMatchesBytes_data() {
    // Sizes around the reading blocks, where a sampled offset can fall on
    // either side of a block's end.
    QTest::addColumn<int>("size");
    for (int size : {1, 49, 50, 51, 262143, 262144, 262145, 262150, 262151, 786433})
        QTest::addRow("%d bytes", size) << size;
}

void ContentRulesTest::sampleMatchesBytes() {
    QFETCH(int, size);
    const QByteArray bytes = randomBytes(size, size);
    writeFile(path("f"), bytes);
    const ContentSample sample = sampleFile(path("f"));
    QVERIFY(sample.readable);
    QCOMPARE(sample.length, qint64(size));
    QCOMPARE(sample.fingerprint, fingerprintOf(bytes));
}

void ContentRulesTest::sampleOfMissingFile() {
    QVERIFY(!sampleFile(path("missing")).readable);
    QDir(m_dir.path()).mkdir(QStringLiteral("folder"));
    QVERIFY(!sampleFile(path("folder")).readable);
}

void ContentRulesTest::compare_data() {
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<Sameness>("same");
    const QByteArray big = randomBytes(600000, 7);
    QByteArray lateDifference = big;
    lateDifference[599999] = static_cast<char>(big[599999] ^ 1);
    QByteArray unsampledDifference = big;
    unsampledDifference[262145] = static_cast<char>(big[262145] ^ 0x40);
    QTest::newRow("same, several blocks") << big << big << Sameness::Same;
    QTest::newRow("last byte differs") << big << lateDifference << Sameness::Different;
    QTest::newRow("differs between samples") << big << unsampledDifference << Sameness::Different;
    QTest::newRow("one is longer") << big << big + 'x' << Sameness::Different;
    QTest::newRow("both empty") << QByteArray() << QByteArray() << Sameness::Same;
}

void ContentRulesTest::compare() {
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(Sameness, same);
    writeFile(path("a"), a);
    writeFile(path("b"), b);
    QCOMPARE(compareFiles(path("a"), path("b")), same);
    QCOMPARE(compareFiles(path("b"), path("a")), same);
    QCOMPARE(compareFiles(path("a"), path("missing")), Sameness::Unreadable);
    QCOMPARE(compareFiles(path("missing"), path("a")), Sameness::Unreadable);
}

void ContentRulesTest::grouping_data() {
    // Each file: its key (length and fingerprint are taken equal to it, 0
    // for an unreadable file) and its content; files compare as the same
    // when their contents match, and a content of "?" cannot be compared.
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QStringList>("contents");
    QTest::addColumn<QList<qsizetype>>("verdicts");
    const qsizetype kept = notRepeated;
    const qsizetype unchecked = notChecked;
    QTest::newRow("empty list") << QList<int>() << QStringList() << QList<qsizetype>();
    QTest::newRow("three the same")
        << QList<int>({5, 5, 5}) << QStringList({"a", "a", "a"}) << QList<qsizetype>({kept, 0, 0});
    QTest::newRow("first and third") << QList<int>({5, 6, 5}) << QStringList({"a", "b", "a"})
                                     << QList<qsizetype>({kept, kept, 0});
    QTest::newRow("same key, different bytes")
        << QList<int>({5, 5}) << QStringList({"a", "b"}) << QList<qsizetype>({kept, kept});
    QTest::newRow("two contents under one key")
        << QList<int>({5, 5, 5, 5, 5}) << QStringList({"a", "b", "b", "a", "c"})
        << QList<qsizetype>({kept, kept, 1, 0, kept});
    QTest::newRow("unreadable in the first pass")
        << QList<int>({5, 0, 5}) << QStringList({"a", "", "a"})
        << QList<qsizetype>({kept, unchecked, 0});
    QTest::newRow("unreadable when compared")
        << QList<int>({5, 5, 5}) << QStringList({"a", "?", "a"})
        << QList<qsizetype>({kept, unchecked, 0});
}

void ContentRulesTest::grouping() {
    QFETCH(QList<int>, keys);
    QFETCH(QStringList, contents);
    QFETCH(QList<qsizetype>, verdicts);
    std::vector<ContentSample> samples;
    for (int key : keys)
        samples.push_back({key, key, key != 0});
    const auto compare = [&](qsizetype a, qsizetype b) {
        if (contents[a] == QLatin1String("?") || contents[b] == QLatin1String("?"))
            return Sameness::Unreadable;
        return contents[a] == contents[b] ? Sameness::Same : Sameness::Different;
    };
    const std::vector<qsizetype> found = findRepeats(samples, compare);
    QCOMPARE(QList<qsizetype>(found.begin(), found.end()), verdicts);
}

void ContentRulesTest::comparesOnlyWithinKey() {
    // Equal fingerprints with different lengths are never compared, nor
    // files of equal length with different fingerprints.
    const std::vector<ContentSample> samples = {
        {50, 60, true}, {60, 60, true}, {60, 61, true}, {50, 60, true}};
    QList<QPair<qsizetype, qsizetype>> compared;
    const std::vector<qsizetype> found = findRepeats(samples, [&](qsizetype a, qsizetype b) {
        compared.append({a, b});
        return Sameness::Same;
    });
    QCOMPARE(compared, (QList<QPair<qsizetype, qsizetype>>({{0, 3}})));
    QCOMPARE(QList<qsizetype>(found.begin(), found.end()),
             QList<qsizetype>({notRepeated, notRepeated, notRepeated, 0}));
}

QTEST_APPLESS_MAIN(ContentRulesTest)
#include "ContentRulesTest.moc"
