#include "dupcheck/ContentCheck.h"
#include "app/pmvmin.h"
#include "dupcheck/ContentRules.h"
#include "platform/Errors.h"
#include "platform/FileList.h"
#include "platform/FolderList.h"
#include "platform/Wildcard.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <map>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    void reading();
    void sameAsBefore();

private:
    QTemporaryDir m_dir;
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
};

// Files held in memory, a missing one unreadable, with a deliberately weak
// hash so that different contents share hashes. Records how many bytes of
// each file were read.
class MemoryContents : public ContentSource {
public:
    explicit MemoryContents(const std::vector<std::optional<QByteArray>> &files)
        : m_files(files), read(files.size(), 0) {}
    std::optional<qint64> length(qsizetype f) override {
        return m_files[f] ? std::optional<qint64>(m_files[f]->size()) : std::nullopt;
    }
    std::optional<ContentHash> hash(qsizetype f, qint64 bytes) override {
        read[f] = std::max(read[f], bytes);
        quint64 sum = 0;
        for (char c : m_files[f]->first(bytes))
            sum += uchar(c);
        return ContentHash{sum % 3, 0};
    }
    bool readable(qsizetype f) override { return m_files[f].has_value(); }
    Sameness compare(qsizetype a, qsizetype b) override {
        return m_files[a] == m_files[b] ? Sameness::Same : Sameness::Different;
    }

private:
    std::vector<std::optional<QByteArray>> m_files;

public:
    std::vector<qint64> read;
};

// How the check chose before it hashed whole contents: files grouped by
// length plus the bytes at offsets 0, 50, 100, ..., each compared with the
// earlier distinct files of its group.
static std::vector<qsizetype>
groupedBySamples(const std::vector<std::optional<QByteArray>> &files) {
    std::map<std::pair<qint64, qint64>, std::vector<qsizetype>> distinct;
    std::vector<qsizetype> verdicts(files.size(), notRepeated);
    for (size_t i = 0; i < files.size(); ++i) {
        if (!files[i]) {
            verdicts[i] = notChecked;
            continue;
        }
        qint64 fingerprint = files[i]->size();
        for (qsizetype at = 0; at < files[i]->size(); at += 50)
            fingerprint += uchar(files[i]->at(at));
        auto &earlier = distinct[{files[i]->size(), fingerprint}];
        const auto same = std::find_if(earlier.begin(), earlier.end(),
                                       [&](qsizetype j) { return files[j] == files[i]; });
        if (same != earlier.end())
            verdicts[i] = *same;
        else
            earlier.push_back(qsizetype(i));
    }
    return verdicts;
}

void ContentCheckTest::reading() {
    // Only files that share a length are read; of those, only files whose
    // first block is shared are read further.
    const QByteArray big(3 * headBytes, 'b');
    QByteArray bigLate = big, bigEarly = big;
    bigLate[2 * headBytes] = 'x';
    bigEarly[0] = 'x';
    MemoryContents source({QByteArray("alone"), big, std::nullopt, bigEarly, bigLate, big,
                           QByteArray("one"), QByteArray("two")});
    QCOMPARE(findRepeats(8, source),
             std::vector<qsizetype>({notRepeated, notRepeated, notChecked, notRepeated, notRepeated,
                                     1, notRepeated, notRepeated}));
    QCOMPARE(source.read, std::vector<qint64>({0, 3 * headBytes, 0, headBytes, 3 * headBytes,
                                               3 * headBytes, 3, 3}));
}

void ContentCheckTest::sameAsBefore() {
    // On random folders, the choice is the one the sampled fingerprints
    // gave: in memory with a hash that often collides, and on disk.
    QRandomGenerator random(7);
    const qsizetype sizes[] = {0, 1, 50, 60, headBytes - 1, headBytes, headBytes + 1, 300000};
    for (int tree = 0; tree < 300; ++tree) {
        std::vector<std::optional<QByteArray>> files(random.bounded(1, 30));
        for (auto &file : files) {
            const qsizetype n = &file - files.data();
            const int kind = random.bounded(10);
            if (kind == 0)
                continue; // unreadable
            if (n > 0 && kind < 6 && files[random.bounded(n)]) {
                file = files[random.bounded(n)];
                if (!file)
                    continue;
                if (kind == 5 && !file->isEmpty()) // a near copy
                    (*file)[random.bounded(file->size())] ^= 1 << random.bounded(8);
            } else {
                file = QByteArray(sizes[random.bounded(8)], char('a' + random.bounded(2)));
            }
        }
        MemoryContents memory(files);
        const auto before = groupedBySamples(files);
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

// Names as the file system holds them, byte for byte: the check must act on
// these exact bytes, whatever their text says.
static QByteArray nativeIn(const QString &dir, const QByteArray &name) {
    return QFile::encodeName(dir) + '/' + name;
}

// The entries of a folder as raw names, links marked "->".
static QByteArrayList rawFilesIn(const QString &dir) {
    QByteArrayList names;
    DIR *d = ::opendir(QFile::encodeName(dir).constData());
    while (const dirent *e = ::readdir(d)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == "..")
            continue;
        struct stat st {};
        ::lstat(nativeIn(dir, name).constData(), &st);
        names.append(S_ISLNK(st.st_mode) ? name + "->" : name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

void ContentCheckTest::check_data() {
    // The files in list order with their bytes; "twist" is done once the
    // list is shown (a "->" name is made a link to the twist's target).
    // "after" is the folder afterwards.
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("rename");
    QTest::addColumn<QString>("twist");
    QTest::addColumn<QByteArrayList>("names");
    QTest::addColumn<QByteArrayList>("bytes");
    QTest::addColumn<QByteArrayList>("after");
    QTest::addColumn<int>("acted");
    QTest::addColumn<int>("failed");
    const QByteArray big = QByteArray(300000, 'p') + "end"; // more than one block
    QByteArray photo(5000, 'q');
    QByteArray retouched = photo;
    retouched[1234] = 'r'; // between two sampled offsets: same fingerprint
    QByteArray fifty(50, 'x');
    fifty[0] = 10; // same fingerprint as sixty zero bytes
    const QString jpg = QStringLiteral("*.jpg");
    using L = QByteArrayList;
    const L abc = {"a.jpg", "b.jpg", "c.jpg"};
    const L ab = {"a.jpg", "b.jpg"};
    const L abcd = {"a.jpg", "b.jpg", "c.jpg", "d.jpg"};
    // Two names that read the same once decoded: the first is no UTF-8.
    const QByteArray oddName("a\xff.jpg");
    const QByteArray replacedName("a\xef\xbf\xbd.jpg");
    // clang-format off
    QTest::newRow("empty list") << jpg << true << "" << L({"only.gif"}) << L({"gif"})
        << L({"only.gif"}) << 0 << 0;
    QTest::newRow("three the same, renamed") << jpg << true << "" << L({"c.jpg", "B.jpg", "a.jpg"})
        << L({big, big, big}) << L({"B.jp_", "a.jpg", "c.jp_"}) << 2 << 0;
    QTest::newRow("three the same, deleted") << jpg << false << "" << abc << L({big, big, big})
        << L({"a.jpg"}) << 2 << 0;
    QTest::newRow("first and third") << jpg << false << "" << abc << L({"same", "other", "same"})
        << ab << 1 << 0;
    QTest::newRow("differ between samples") << jpg << false << "" << abcd
        << L({photo, retouched, retouched, photo}) << ab << 2 << 0;
    QTest::newRow("50 and 60 bytes") << jpg << false << "" << ab << L({fifty, QByteArray(60, '\0')})
        << ab << 0 << 0;
    QTest::newRow("empty files") << jpg << false << "" << abcd << L({"", "full", "", ""}) << ab << 2 << 0;
    QTest::newRow("renamed under *.*") << "*.*" << true << "" << ab << L({"twin", "twin"})
        << L({"a.jpg", "b.jp_"}) << 1 << 0;
    QTest::newRow("GIF like a listed JPEG") << jpg << false << "" << L({"a.gif", "b.jpg"})
        << L({"pic", "pic"}) << L({"a.gif", "b.jpg"}) << 0 << 0;
    QTest::newRow("rename target exists") << jpg << true << "" << L({"a.jpg", "b.jp_", "b.jpg", "c.jpg"})
        << L({"copy", "kept", "copy", "copy"}) << L({"a.jpg", "b.jp_", "b.jpg", "c.jp_"}) << 1 << 1;
    QTest::newRow("read-only copy deleted") << jpg << false << "read-only" << ab << L({"copy", "copy"})
        << L({"a.jpg"}) << 1 << 0;
    QTest::newRow("vanished before reading") << jpg << false << "vanish" << abc << L({"copy", "copy", "copy"})
        << L({"a.jpg"}) << 1 << 1;
    // A link is no second copy: the only copy stays, the link too.
    QTest::newRow("link first, deleting") << jpg << false << "b.jpg" << L({"a.jpg->", "b.jpg"})
        << L({"only", "only"}) << L({"a.jpg->", "b.jpg"}) << 0 << 0;
    QTest::newRow("link first, renaming") << jpg << true << "b.jpg" << L({"a.jpg->", "b.jpg", "c.jpg"})
        << L({"only", "only", "only"}) << L({"a.jpg->", "b.jpg", "c.jp_"}) << 1 << 0;
    QTest::newRow("link to a read-only file outside") << jpg << false << "../outside.jpg"
        << L({"a.jpg", "b.jpg->"}) << L({"same", "same"}) << L({"a.jpg", "b.jpg->"}) << 0 << 0;
    // Each name is acted on by its own bytes, not by what it reads as.
    QTest::newRow("names no UTF-8") << "*.*" << false << "" << L({oddName, replacedName, "c.jpg"})
        << L({"Y", "X", "Y"}) << L({replacedName, oddName}) << 1 << 0;
    QTest::newRow("names no UTF-8, renamed") << "*.*" << true << "" << L({replacedName, oddName, "0.jpg"})
        << L({"X", "Y", "Y"}) << L({"0.jpg", replacedName, "a\xff.jp_"}) << 1 << 0;
    // Changed after it was compared: neither the repeat nor its original is
    // acted on.
    QTest::newRow("repeat changed after compare") << jpg << false << "changed b.jpg" << ab
        << L({"copy", "copy"}) << ab << 0 << 1;
    QTest::newRow("original changed after compare") << jpg << false << "changed a.jpg" << ab
        << L({"copy", "copy"}) << ab << 0 << 1;
    // clang-format on
}

void ContentCheckTest::check() {
    QFETCH(QString, pattern);
    QFETCH(bool, rename);
    QFETCH(QString, twist);
    QFETCH(QByteArrayList, names);
    QFETCH(QByteArrayList, bytes);
    QFETCH(QByteArrayList, after);
    QFETCH(int, acted);
    QFETCH(int, failed);
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
                               nativeIn(dir, names[i].chopped(2)).constData()),
                     0);
        else
            writeRaw(dir, names[i], bytes[i]);
    }
    pmvmin w;
    auto boxes = std::make_unique<Boxes>(&w);
    const QStringList &shown = boxes->shown;
    MessageBoxes::setInstance(std::move(boxes));
    QCOMPARE(w.d2->setPath(dir), int(Ok));
    w.d3->setPattern(pattern);
    w.d3->count(); // the list is read as the user sees it, before the twist
    const QString b = dir + QStringLiteral("/b.jpg");
    if (twist == QLatin1String("read-only"))
        QVERIFY(QFile::setPermissions(b, QFileDevice::ReadOwner));
    else if (twist == QLatin1String("vanish"))
        QVERIFY(QFile::remove(b));
    Module1::setBeforeActingForTests([&] {
        // A file rewritten once all were compared, before any is acted on.
        if (twist.startsWith(QLatin1String("changed ")))
            writeFile(dir + QLatin1Char('/') + twist.mid(8), "edited, longer");
    });
    w.op1[1]->setChecked(!rename);
    QTest::mouseClick(w.nc, Qt::LeftButton);
    Module1::setBeforeActingForTests(nullptr);

    // Nothing is changed but the files acted on, and no byte of any file.
    QCOMPARE(rawFilesIn(dir), after);
    const bool changed = twist.startsWith(QLatin1String("changed "));
    for (const QByteArray &entry : after) {
        const QByteArray name = entry.endsWith("->") ? entry.chopped(2) : entry;
        const qsizetype i =
            names.contains(entry) ? names.indexOf(entry) : names.indexOf(name.chopped(1) + 'g');
        if (!(changed && twist.endsWith(QString::fromLatin1(name))))
            QCOMPARE(readRaw(dir, name), bytes.value(i));
    }
    QCOMPARE(readFile(outside), bytes.value(0));
    QCOMPARE(QFile::permissions(outside), outsidePermissions);
    QString text = QStringLiteral(" %1 個のファイルがありました").arg(acted);
    if (failed)
        text += QStringLiteral("\n確認または変更できなかったファイル： %1 個").arg(failed);
    QCOMPARE(shown, QStringList({text + "|plain|busy"}));
    QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
    // The list is read again: renamed files leave it or stay by the pattern.
    const Wildcard filter(pattern);
    QCOMPARE(w.d3->count(), std::count_if(after.begin(), after.end(), [&](const QByteArray &name) {
                 return filter.matches(QString::fromLatin1(name).remove("->"));
             }));
}

QTEST_MAIN(ContentCheckTest)
#include "tst_dupcheck.moc"
