#include "app/pmvmin.h"
#include "platform/Errors.h"
#include "platform/FileList.h"
#include "platform/FolderList.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace pomiv;
using namespace pomiv::test;

// Records the window's pointer when the final message appears.
class PointerAtMessage : public MessageBoxes {
public:
    explicit PointerAtMessage(QWidget *window) : m_window(window) {}
    MsgAnswer show(QWidget *, const QString &text, MsgButtons, MsgIcon icon) override {
        texts.append(text);
        icons.append(icon);
        shapes.append(m_window->cursor().shape());
        return MsgAnswer::Ok;
    }
    QStringList texts;
    QList<MsgIcon> icons;
    QList<Qt::CursorShape> shapes;

private:
    QWidget *m_window;
};

class ContentCheckTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void emptyList();
    void threeTheSame_data();
    void threeTheSame();
    void firstAndThird();
    void sameFingerprintOtherBytes_data();
    void sameFingerprintOtherBytes();
    void emptyFiles();
    void renamedFilesAndTheFilter_data();
    void renamedFilesAndTheFilter();
    void onlyListedFilesTakePart();
    void readOnlyDuplicateDeleted();
    void renameTargetExists();
    void fileVanishedBeforeReading();
    void pointerAndMessage();

private:
    QString at(const char *name) const { return QDir(m_folder).filePath(QString::fromUtf8(name)); }
    void put(const char *name, const QByteArray &bytes) { writeFile(at(name), bytes); }
    // Shows the folder with a filter and runs the check with an option.
    void check(const QString &pattern, bool rename);
    QString countText(int count) const {
        return QStringLiteral(" %1 個のファイルがありました").arg(count);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
    std::unique_ptr<pmvmin> w;
    PointerAtMessage *m_boxes = nullptr;
};

void ContentCheckTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_folder = m_dir->filePath(QStringLiteral("pics"));
    QDir().mkpath(m_folder);
    w = std::make_unique<pmvmin>();
    auto boxes = std::make_unique<PointerAtMessage>(w.get());
    m_boxes = boxes.get();
    MessageBoxes::setInstance(std::move(boxes));
}

void ContentCheckTest::cleanup() {
    MessageBoxes::setInstance(nullptr);
    w.reset();
    m_dir.reset();
}

void ContentCheckTest::check(const QString &pattern, bool rename) {
    QCOMPARE(w->d2->setPath(m_folder), int(Ok));
    w->d3->setPattern(pattern);
    QVERIFY(w->op1[0]->isChecked());
    if (!rename)
        w->op1[1]->setChecked(true);
    QTest::mouseClick(w->nc, Qt::LeftButton);
}

void ContentCheckTest::emptyList() {
    put("only.gif", "gif");
    check(QStringLiteral("*.jpg"), true);
    QCOMPARE(m_boxes->texts, QStringList({countText(0)}));
    QCOMPARE(filesIn(m_folder), QStringList({"only.gif"}));
}

void ContentCheckTest::threeTheSame_data() {
    QTest::addColumn<bool>("rename");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("change extension")
        << true << QStringList({"B.jp_", "a.jpg", "c.jp_"}) << QStringList({"a.jpg"});
    QTest::newRow("delete") << false << QStringList({"a.jpg"}) << QStringList({"a.jpg"});
}

void ContentCheckTest::threeTheSame() {
    QFETCH(bool, rename);
    QFETCH(QStringList, after);
    QFETCH(QStringList, listed);
    const QByteArray bytes = QByteArray(70000, 'p') + "end";
    put("c.jpg", bytes);
    put("B.jpg", bytes);
    put("a.jpg", bytes);
    check(QStringLiteral("*.jpg"), rename);
    QCOMPARE(filesIn(m_folder), after);
    for (const QString &name : after)
        QCOMPARE(readFile(QDir(m_folder).filePath(name)), bytes);
    QCOMPARE(m_boxes->texts, QStringList({countText(2)}));
    QCOMPARE(w->d3->names(), listed);
}

void ContentCheckTest::firstAndThird() {
    put("a.jpg", "same bytes");
    put("b.jpg", "other");
    put("c.jpg", "same bytes");
    check(QStringLiteral("*.jpg"), false);
    QCOMPARE(filesIn(m_folder), QStringList({"a.jpg", "b.jpg"}));
    QCOMPARE(m_boxes->texts, QStringList({countText(1)}));
}

void ContentCheckTest::sameFingerprintOtherBytes_data() {
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QByteArray photo(5000, 'q');
    QByteArray retouched = photo;
    retouched[1234] = 'r'; // between two sampled offsets
    QByteArray fifty(50, 'x');
    fifty[0] = 10;
    QTest::newRow("differ between samples") << photo << retouched;
    QTest::newRow("50 and 60 bytes") << fifty << QByteArray(60, '\0');
}

void ContentCheckTest::sameFingerprintOtherBytes() {
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    put("a.jpg", first);
    put("b.jpg", second);
    check(QStringLiteral("*.jpg"), false);
    QCOMPARE(filesIn(m_folder), QStringList({"a.jpg", "b.jpg"}));
    QCOMPARE(readFile(at("b.jpg")), second);
    QCOMPARE(m_boxes->texts, QStringList({countText(0)}));
}

void ContentCheckTest::emptyFiles() {
    put("a.jpg", "");
    put("b.jpg", "not empty");
    put("c.jpg", "");
    put("d.jpg", "");
    check(QStringLiteral("*.jpg"), false);
    QCOMPARE(filesIn(m_folder), QStringList({"a.jpg", "b.jpg"}));
    QCOMPARE(m_boxes->texts, QStringList({countText(2)}));
}

void ContentCheckTest::renamedFilesAndTheFilter_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("*.jpg") << "*.jpg" << QStringList({"a.jpg"});
    QTest::newRow("*.*") << "*.*" << QStringList({"a.jpg", "b.jp_"});
}

void ContentCheckTest::renamedFilesAndTheFilter() {
    QFETCH(QString, pattern);
    QFETCH(QStringList, listed);
    put("a.jpg", "twins");
    put("b.jpg", "twins");
    check(pattern, true);
    QCOMPARE(filesIn(m_folder), QStringList({"a.jpg", "b.jp_"}));
    QCOMPARE(w->d3->names(), listed);
    QCOMPARE(m_boxes->texts, QStringList({countText(1)}));
}

void ContentCheckTest::onlyListedFilesTakePart() {
    put("a.gif", "picture");
    put("b.jpg", "picture");
    check(QStringLiteral("*.jpg"), false);
    QCOMPARE(filesIn(m_folder), QStringList({"a.gif", "b.jpg"}));
    QCOMPARE(m_boxes->texts, QStringList({countText(0)}));
}

void ContentCheckTest::readOnlyDuplicateDeleted() {
    put("a.jpg", "copy");
    put("b.jpg", "copy");
    QVERIFY(QFile::setPermissions(at("b.jpg"), QFileDevice::ReadOwner | QFileDevice::ReadUser));
    check(QStringLiteral("*.jpg"), false);
    QCOMPARE(filesIn(m_folder), QStringList({"a.jpg"}));
    QCOMPARE(m_boxes->texts, QStringList({countText(1)}));
}

void ContentCheckTest::renameTargetExists() {
    put("a.jpg", "copy");
    put("b.jpg", "copy");
    put("c.jpg", "copy");
    put("b.jp_", "kept as it is");
    check(QStringLiteral("*.jpg"), true);
    QCOMPARE(filesIn(m_folder), QStringList({"a.jpg", "b.jp_", "b.jpg", "c.jp_"}));
    QCOMPARE(readFile(at("b.jp_")), QByteArray("kept as it is"));
    QCOMPARE(readFile(at("b.jpg")), QByteArray("copy"));
    QCOMPARE(m_boxes->texts,
             QStringList(
                 {countText(1) + QStringLiteral("\n確認または変更できなかったファイル： 1 個")}));
}

void ContentCheckTest::fileVanishedBeforeReading() {
    put("a.jpg", "copy");
    put("b.jpg", "copy");
    put("c.jpg", "copy");
    QCOMPARE(w->d2->setPath(m_folder), int(Ok));
    w->d3->setPattern(QStringLiteral("*.jpg"));
    QCOMPARE(w->d3->count(), 3); // the list as the user sees it
    QVERIFY(QFile::remove(at("b.jpg")));
    w->op1[1]->setChecked(true);
    w->nc_Click();
    QCOMPARE(filesIn(m_folder), QStringList({"a.jpg"}));
    QCOMPARE(m_boxes->texts,
             QStringList(
                 {countText(1) + QStringLiteral("\n確認または変更できなかったファイル： 1 個")}));
    QCOMPARE(w->d3->names(), QStringList({"a.jpg"}));
}

void ContentCheckTest::pointerAndMessage() {
    put("a.jpg", "copy");
    put("b.jpg", "copy");
    check(QStringLiteral("*.jpg"), true);
    QCOMPARE(m_boxes->shapes, QList<Qt::CursorShape>({Qt::WaitCursor}));
    QCOMPARE(m_boxes->icons, QList<MsgIcon>({MsgIcon::None}));
    QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
}

QTEST_MAIN(ContentCheckTest)
#include "ContentCheckTest.moc"
