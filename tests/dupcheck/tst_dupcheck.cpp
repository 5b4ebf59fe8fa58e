// The content check: which files are repeats, which are read, and what the
// main window's check does to the files in a real folder.

#include "app/pmvmin.h"
#include "controls/FileList.h"
#include "controls/FolderList.h"
#include "core/Errors.h"
#include "core/Listing.h"
#include "dupcheck/ContentCheck.h"
#include "dupcheck/rules/ContentRules.h"
#include "tests/support/TestSupport.h"

#include <QtWidgets>

#include <algorithm>
#include <filesystem>

#include <unistd.h>

using namespace pomiv;
using namespace pomiv::test;

using Files = std::vector<std::optional<QByteArray>>; // none: unreadable

// Files in memory with a deliberately weak hash, so that different contents
// share hashes. Records how many bytes of each file were read.
struct MemoryContents : ContentSource {
    explicit MemoryContents(const Files &f) : files(f), read(f.size(), 0) {}
    std::optional<qint64> length(qsizetype f) override {
        return files[f] ? std::optional<qint64>(files[f]->size()) : std::nullopt;
    }
    std::optional<ContentHash> hash(qsizetype f, qint64 bytes) override {
        read[f] = std::max(read[f], bytes);
        quint64 sum = 0;
        for (char c : files[f]->first(bytes))
            sum += uchar(c);
        return ContentHash{sum % 3, 0};
    }
    bool readable(qsizetype f) override { return files[f].has_value(); }
    Sameness compare(qsizetype a, qsizetype b) override {
        return files[a] == files[b] ? Sameness::Same : Sameness::Different;
    }
    Files files;
    std::vector<qint64> read;
};

// What the check chose before it hashed whole contents: each readable file
// is a repeat of the first file with its bytes, unless it is that file.
static std::vector<qsizetype> firstCopies(const Files &files) {
    std::vector<qsizetype> verdicts;
    for (const auto &file : files) {
        const qsizetype first = std::find(files.begin(), files.end(), file) - files.begin();
        verdicts.push_back(!file                                ? notChecked
                           : first < qsizetype(verdicts.size()) ? first
                                                                : notRepeated);
    }
    return verdicts;
}

// The entries of a folder as raw names, links marked "->".
static QByteArrayList rawFilesIn(const QString &dir) {
    QByteArrayList names;
    for (const auto &e : std::filesystem::directory_iterator(QFile::encodeName(dir).toStdString()))
        names.append(QByteArray::fromStdString(e.path().filename().native()) +
                     (e.is_symlink() ? "->" : ""));
    std::sort(names.begin(), names.end());
    return names;
}

// The files in list order with their bytes; "twist" is done once the list is
// shown (a "->" name is made a link to the twist's target). "after" is the
// folder afterwards, links marked "->"; then the files counted and those that
// could not be checked or changed.
struct Check {
    bool rename;
    QString twist;
    QByteArrayList names, bytes, after;
    int acted, failed;
};

class DupCheckTest : public QObject {
    Q_OBJECT
private slots:

    // Only files that share a length are read; of those, only files whose
    // first block is shared are read further.
    void reading() {
        const QByteArray big(3 * headBytes, 'b');
        QByteArray bigLate = big, bigEarly = big;
        bigLate[2 * headBytes] = 'x';
        bigEarly[0] = 'x';
        MemoryContents source(
            {QByteArray("alone"), big, std::nullopt, bigEarly, bigLate, big, "one", "two"});
        QCOMPARE(findRepeats(8, source),
                 std::vector<qsizetype>({notRepeated, notRepeated, notChecked, notRepeated,
                                         notRepeated, 1, notRepeated, notRepeated}));
        QCOMPARE(source.read, std::vector<qint64>({0, 3 * headBytes, 0, headBytes, 3 * headBytes,
                                                   3 * headBytes, 3, 3}));
    }

    // On random folders of copies, near copies, empty and unreadable files,
    // the choice is the one from before: in memory with a hash that often
    // collides, and on disk.
    void sameAsBefore() {
        QRandomGenerator random(7);
        const qsizetype sizes[] = {0, 1, 50, 60, headBytes - 1, headBytes, headBytes + 1, 300000};
        for (int tree = 0; tree < 300; ++tree) {
            Files files(random.bounded(1, 30));
            for (qsizetype n = 0; n < qsizetype(files.size()); ++n) {
                const int kind = random.bounded(10);
                if (n > 0 && kind > 0 && kind < 6) {
                    files[n] = files[random.bounded(n)];
                    if (kind == 5 && files[n] && !files[n]->isEmpty()) // a near copy
                        (*files[n])[random.bounded(files[n]->size())] ^= 1 << random.bounded(8);
                } else if (kind > 0) {
                    files[n] = QByteArray(sizes[random.bounded(8)], char('a' + random.bounded(2)));
                }
            }
            MemoryContents memory(files);
            const auto before = firstCopies(files);
            QCOMPARE(findRepeats(qsizetype(files.size()), memory), before);
            if (tree % 10 != 0)
                continue;
            QTemporaryDir dir;
            QStringList paths;
            for (const auto &file : files) {
                paths << dir.filePath(QString::number(paths.size()));
                if (file)
                    writeFile(paths.last(), *file);
            }
            FileContents disk(paths);
            QCOMPARE(findRepeats(paths.size(), disk), before);
        }
    }

    void check_data();
    void check();
};

void DupCheckTest::check_data() {
    QTest::addColumn<Check>("c");
    const QByteArray big = QByteArray(300000, 'p') + "end"; // more than one block
    const QByteArrayList abc = {"a.jpg", "b.jpg", "c.jpg"}, ab = {"a.jpg", "b.jpg"};
    // Two names that read the same once decoded: the first is no UTF-8.
    const QByteArray oddName("a\xff.jpg"), replacedName("a\xef\xbf\xbd.jpg");
    // clang-format off
    QTest::newRow("three the same, renamed") << Check{true, "", {"c.jpg", "B.jpg", "a.jpg"},
        {big, big, big}, {"B.jp_", "a.jpg", "c.jp_"}, 2, 0};
    QTest::newRow("first and third, deleted") << Check{false, "", abc,
        {"same", "other", "same"}, ab, 1, 0};
    QTest::newRow("GIF like a listed JPEG") << Check{false, "", {"a.gif", "b.jpg"},
        {"pic", "pic"}, {"a.gif", "b.jpg"}, 0, 0};
    QTest::newRow("rename target exists") << Check{true, "", {"a.jpg", "b.jp_", "b.jpg", "c.jpg"},
        {"copy", "kept", "copy", "copy"}, {"a.jpg", "b.jp_", "b.jpg", "c.jp_"}, 1, 1};
    QTest::newRow("vanished before reading") << Check{false, "vanish", abc,
        {"copy", "copy", "copy"}, {"a.jpg"}, 1, 1};
    // A link is no second copy: the only copy stays, the link too.
    QTest::newRow("link first, renaming") << Check{true, "b.jpg", {"a.jpg->", "b.jpg", "c.jpg"},
        {"only", "only", "only"}, {"a.jpg->", "b.jpg", "c.jp_"}, 1, 0};
    QTest::newRow("link to a read-only file outside") << Check{false, "../outside.jpg",
        {"a.jpg", "b.jpg->"}, {"same", "same"}, {"a.jpg", "b.jpg->"}, 0, 0};
    // Each name is acted on by its own bytes, not by what it reads as.
    QTest::newRow("names no UTF-8") << Check{false, "", {oddName, replacedName, "0.jpg"},
        {"Y", "X", "Y"}, {"0.jpg", replacedName}, 1, 0};
    QTest::newRow("names no UTF-8, renamed") << Check{true, "", {replacedName, oddName, "0.jpg"},
        {"X", "Y", "Y"}, {"0.jpg", replacedName, "a\xff.jp_"}, 1, 0};
    // Changed after it was compared: neither the repeat nor its original is
    // acted on.
    QTest::newRow("repeat changed after compare") << Check{false, "changed b.jpg", ab,
        {"copy", "copy"}, ab, 0, 1};
    QTest::newRow("original changed after compare") << Check{false, "changed a.jpg", ab,
        {"copy", "copy"}, ab, 0, 1};
    // clang-format on
}

void DupCheckTest::check() {
    QFETCH(Check, c);
    const auto &[rename, twist, names, bytes, after, acted, failed] = c;
    QTemporaryDir top;
    const QString dir = top.filePath(QStringLiteral("folder"));
    QDir().mkpath(dir);
    const QString outside = top.filePath(QStringLiteral("outside.jpg"));
    writeFile(outside, bytes.value(0));
    QVERIFY(QFile::setPermissions(outside, QFileDevice::ReadOwner | QFileDevice::ReadUser));
    const QFileDevice::Permissions outsidePermissions = QFile::permissions(outside);
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names[i].endsWith("->"))
            QCOMPARE(::symlink(QFile::encodeName(twist).constData(),
                               (QFile::encodeName(dir) + '/' + names[i].chopped(2)).constData()),
                     0);
        else
            writeRaw(dir, names[i], bytes[i]);
    }
    pmvmin w;
    MessageRecorder messages;
    QCOMPARE(w.d2->setPath(dir), Ok);
    w.d3->setPattern("*.jpg");
    w.d3->count(); // the list is read as the user sees it, before the twist
    if (twist == QLatin1String("vanish"))
        QVERIFY(QFile::remove(dir + QStringLiteral("/b.jpg")));
    const bool changed = twist.startsWith(QLatin1String("changed "));
    Module1::setBeforeActingForTests([&] { // after all were compared
        if (changed)
            writeFile(dir + QLatin1Char('/') + twist.mid(8), "edited, longer");
    });
    w.op1[1]->setChecked(!rename);
    QTest::mouseClick(w.nc, Qt::LeftButton);
    Module1::setBeforeActingForTests(nullptr);
    QString text = QStringLiteral(" %1 個のファイルがありました").arg(acted);
    if (failed)
        text += QStringLiteral("\n確認または変更できなかったファイル： %1 個").arg(failed);
    QCOMPARE(messages.texts(), QStringList{text});
    QVERIFY(messages.shown()[0].icon == MsgIcon::None);

    QCOMPARE(rawFilesIn(dir), after); // and no byte of any file changes
    for (const QByteArray &entry : after) {
        const QByteArray name = entry.endsWith("->") ? entry.chopped(2) : entry;
        const qsizetype i =
            names.contains(entry) ? names.indexOf(entry) : names.indexOf(name.chopped(1) + 'g');
        if (!(changed && twist.endsWith(QString::fromLatin1(name))))
            QCOMPARE(readRaw(dir, name), bytes.value(i));
    }
    QCOMPARE(readFile(outside), bytes.value(0));
    QCOMPARE(QFile::permissions(outside), outsidePermissions);
    QCOMPARE(w.d3->names(), matchingFiles(*readFolder(dir), "*.jpg"));
}

QTEST_MAIN(DupCheckTest)
#include "tst_dupcheck.moc"
