#include "app/pmvmin.h"
#include "dupcheck/ContentRules.h"
#include "platform/Errors.h"
#include "platform/FileList.h"
#include "platform/FolderList.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace pomiv;
using namespace pomiv::test;

// Records each message as its text, with "|plain" when it has no icon and
// "|busy" when the window shows the busy pointer at the time.
class Boxes : public MessageBoxes {
public:
    explicit Boxes(QWidget *window) : m_window(window) {}
    MsgAnswer show(QWidget *, const QString &text, MsgButtons, MsgIcon icon) override {
        shown << text + (icon == MsgIcon::None ? "|plain" : "") +
                     (m_window->cursor().shape() == Qt::WaitCursor ? "|busy" : "");
        return MsgAnswer::Ok;
    }
    QStringList shown;

private:
    QWidget *m_window;
};

class ContentCheckTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { MessageBoxes::setInstance(nullptr); }
    void check_data();
    void check();
    void fingerprint();
    void compare();
    void grouping();

private:
    QTemporaryDir m_dir;
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
};

// Bytes that differ at every sampled offset.
static QByteArray noise(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 131 + i / 257);
    return bytes;
}

void ContentCheckTest::fingerprint() {
    // The length plus the bytes at offsets 0, 50, 100, ... read unsigned.
    QByteArray sampled(101, '\x7f');
    sampled[0] = 1;
    sampled[50] = 2;
    sampled[100] = 3;
    QCOMPARE(fingerprintOf(sampled), qint64(101 + 1 + 2 + 3));
    QCOMPARE(fingerprintOf(QByteArray(1, '\xff')), qint64(1 + 255));
    // The same read from a file in blocks, sizes around the blocks' ends.
    for (int size : {0, 50, 262143, 262144, 262145, 262150, 262151, 786433}) {
        writeFile(path("f"), noise(size));
        const ContentSample sample = sampleFile(path("f"));
        QVERIFY(sample.readable);
        QCOMPARE(sample.length, qint64(size));
        QCOMPARE(sample.fingerprint, fingerprintOf(noise(size)));
    }
}

void ContentCheckTest::compare() {
    // One byte differs, beyond the first block; a file that cannot be read.
    const QByteArray big = noise(600000);
    writeFile(path("a"), big);
    for (qsizetype at : {262145, 599999}) {
        QByteArray other = big;
        other[at] = static_cast<char>(big[at] ^ 1);
        writeFile(path("b"), other);
        QCOMPARE(compareFiles(path("a"), path("b")), Sameness::Different);
    }
    QCOMPARE(compareFiles(path("a"), path("a")), Sameness::Same);
    QCOMPARE(compareFiles(path("a"), path("missing")), Sameness::Unreadable);
    QCOMPARE(compareFiles(path("missing"), path("a")), Sameness::Unreadable);
}

void ContentCheckTest::grouping() {
    // Contents given one letter a file; "?" cannot be compared.
    const auto verdicts = [](const std::vector<ContentSample> &samples, const QString &contents) {
        const std::vector<qsizetype> found = findRepeats(samples, [&](qsizetype a, qsizetype b) {
            if (contents[a] == u'?' || contents[b] == u'?')
                return Sameness::Unreadable;
            return contents[a] == contents[b] ? Sameness::Same : Sameness::Different;
        });
        return QList<qsizetype>(found.begin(), found.end());
    };
    const qsizetype kept = notRepeated;
    // Only files of equal length and equal fingerprint are compared.
    QCOMPARE(verdicts({{50, 60, true}, {60, 60, true}, {60, 61, true}, {50, 60, true}}, "aaaa"),
             QList<qsizetype>({kept, kept, kept, 0}));
    // A file that cannot be compared is left unchecked, not kept.
    QCOMPARE(verdicts({{5, 5, true}, {5, 5, true}, {5, 5, true}}, "a?a"),
             QList<qsizetype>({kept, notChecked, 0}));
}

void ContentCheckTest::check_data() {
    // The files in list order with their bytes; "twist" is done to b.jpg
    // once the list is shown. "after" is the folder afterwards.
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("rename");
    QTest::addColumn<QString>("twist");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QByteArrayList>("bytes");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("acted");
    QTest::addColumn<int>("failed");
    const QByteArray big = QByteArray(300000, 'p') + "end"; // more than one block
    QByteArray photo(5000, 'q');
    QByteArray retouched = photo;
    retouched[1234] = 'r'; // between two sampled offsets: same fingerprint
    QByteArray fifty(50, 'x');
    fifty[0] = 10; // same fingerprint as sixty zero bytes
    const QString jpg = QStringLiteral("*.jpg");
    const QStringList abc = {"a.jpg", "b.jpg", "c.jpg"};
    const QStringList ab = {"a.jpg", "b.jpg"};
    const QStringList abcd = {"a.jpg", "b.jpg", "c.jpg", "d.jpg"};
    // clang-format off
    QTest::newRow("empty list") << jpg << true << "" << QStringList({"only.gif"}) << QByteArrayList({"gif"})
        << QStringList({"only.gif"}) << 0 << 0;
    QTest::newRow("three the same, renamed") << jpg << true << "" << QStringList({"c.jpg", "B.jpg", "a.jpg"})
        << QByteArrayList({big, big, big}) << QStringList({"B.jp_", "a.jpg", "c.jp_"}) << 2 << 0;
    QTest::newRow("three the same, deleted") << jpg << false << "" << abc << QByteArrayList({big, big, big})
        << QStringList({"a.jpg"}) << 2 << 0;
    QTest::newRow("first and third") << jpg << false << "" << abc << QByteArrayList({"same", "other", "same"})
        << ab << 1 << 0;
    QTest::newRow("differ between samples") << jpg << false << "" << abcd
        << QByteArrayList({photo, retouched, retouched, photo}) << QStringList({"a.jpg", "b.jpg"}) << 2 << 0;
    QTest::newRow("50 and 60 bytes") << jpg << false << "" << ab << QByteArrayList({fifty, QByteArray(60, '\0')})
        << ab << 0 << 0;
    QTest::newRow("empty files") << jpg << false << "" << abcd
        << QByteArrayList({"", "full", "", ""}) << ab << 2 << 0;
    QTest::newRow("renamed under *.*") << "*.*" << true << "" << ab << QByteArrayList({"twin", "twin"})
        << QStringList({"a.jpg", "b.jp_"}) << 1 << 0;
    QTest::newRow("GIF like a listed JPEG") << jpg << false << "" << QStringList({"a.gif", "b.jpg"})
        << QByteArrayList({"pic", "pic"}) << QStringList({"a.gif", "b.jpg"}) << 0 << 0;
    QTest::newRow("rename target exists") << jpg << true << "" << QStringList({"a.jpg", "b.jp_", "b.jpg", "c.jpg"})
        << QByteArrayList({"copy", "kept", "copy", "copy"}) << QStringList({"a.jpg", "b.jp_", "b.jpg", "c.jp_"}) << 1 << 1;
    QTest::newRow("read-only copy deleted") << jpg << false << "read-only" << ab << QByteArrayList({"copy", "copy"})
        << QStringList({"a.jpg"}) << 1 << 0;
    QTest::newRow("vanished before reading") << jpg << false << "vanish" << abc << QByteArrayList({"copy", "copy", "copy"})
        << QStringList({"a.jpg"}) << 1 << 1;
    // clang-format on
}

void ContentCheckTest::check() {
    QFETCH(QString, pattern);
    QFETCH(bool, rename);
    QFETCH(QString, twist);
    QFETCH(QStringList, names);
    QFETCH(QByteArrayList, bytes);
    QFETCH(QStringList, after);
    QFETCH(int, acted);
    QFETCH(int, failed);
    QTemporaryDir dir;
    const QString b = dir.filePath(QStringLiteral("b.jpg"));
    for (qsizetype i = 0; i < names.size(); ++i)
        writeFile(dir.filePath(names[i]), bytes[i]);
    pmvmin w;
    auto boxes = std::make_unique<Boxes>(&w);
    const QStringList &shown = boxes->shown;
    MessageBoxes::setInstance(std::move(boxes));
    QCOMPARE(w.d2->setPath(dir.path()), int(Ok));
    w.d3->setPattern(pattern);
    w.d3->count(); // the list is read as the user sees it, before the twist
    if (twist == QLatin1String("read-only"))
        QVERIFY(QFile::setPermissions(b, QFileDevice::ReadOwner));
    else if (twist == QLatin1String("vanish"))
        QVERIFY(QFile::remove(b));
    w.op1[1]->setChecked(!rename);
    QTest::mouseClick(w.nc, Qt::LeftButton);

    // Nothing is changed but the files acted on, and no byte of any file.
    QCOMPARE(filesIn(dir.path()), after);
    for (const QString &name : after) {
        const qsizetype i =
            names.contains(name) ? names.indexOf(name) : names.indexOf(name.chopped(1) + 'g');
        QCOMPARE(readFile(dir.filePath(name)), bytes.value(i));
    }
    QString text = QStringLiteral(" %1 個のファイルがありました").arg(acted);
    if (failed)
        text += QStringLiteral("\n確認または変更できなかったファイル： %1 個").arg(failed);
    QCOMPARE(shown, QStringList({text + "|plain|busy"}));
    QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
    // The list is read again: renamed files leave it or stay by the pattern.
    QCOMPARE(w.d3->names(),
             QDir(dir.path()).entryList({pattern}, QDir::Files, QDir::Name | QDir::IgnoreCase));
}

QTEST_MAIN(ContentCheckTest)
#include "ContentCheckTest.moc"
