#include "app/pmvmin.h"
#include "platform/Errors.h"
#include "platform/FileList.h"
#include "platform/FileService.h"
#include "platform/FolderList.h"
#include "settings/SettingsFile.h"
#include "settings/Shared.h"
#include "tests/support/TestSupport.h"
#include "transfer/NumberedNames.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <fcntl.h>

using namespace pomiv;
using namespace pomiv::test;

class TransferTest : public QObject {
    Q_OBJECT
private slots:
    void newName();
    void runningNumber();

    void init();
    void cleanup();
    void selectionList();
    void namesNoUtf8();
    void completeRun_data();
    void completeRun();
    void stoppedRun_data();
    void stoppedRun();

private:
    QString src() const { return m_dir->filePath(QStringLiteral("src")); }
    QString dst() const { return m_dir->filePath(QStringLiteral("dst")); }
    void select(const QStringList &names) {
        w->d4->clear();
        w->d4->addItems(names);
    }
    QStringList selection() const {
        QStringList names;
        for (int i = 0; i < w->d4->count(); ++i)
            names.append(w->d4->item(i)->text());
        return names;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MessageRecorder> m_messages;
    std::unique_ptr<pmvmin> w;
};

void TransferTest::newName() {
    // The extension part runs from the last dot, unless that is the first
    // character.
    const std::pair<const char *, const char *> names[] = {
        {"x.jpg", "A1.jpg"}, {"photo.jpeg", "A1.jpeg"}, {"ab.c", "A1.c"}, {"README", "A1"},
        {".profile", "A1"},  {"a.b.c.GIF", "A1.GIF"},   {"x.", "A1."}};
    for (const auto &[source, name] : names)
        QCOMPARE(numberedName(QStringLiteral("A"), 1, QString::fromUtf8(source)), QString(name));
}

void TransferTest::runningNumber() {
    const std::pair<const char *, qint64> numbers[] = {
        {"007", 7}, {"  12\t", 12}, {"+5", 5}, {"-0", 0}, {"999999999999999", 999999999999999}};
    for (const auto &[text, number] : numbers)
        QCOMPARE(parseRunningNumber(QString::fromUtf8(text)), std::optional<qint64>(number));
    const QStringList refused = {"abc", "1.5", "1,000", "",    "   ",
                                 "-",   "- 1", "1 2",   "1e3", "1000000000000000"};
    for (const QString &text : refused)
        QVERIFY2(!parseRunningNumber(text), qPrintable(text));
}

void TransferTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QDir(m_dir->path()).mkpath(QStringLiteral("app"));
    QDir(m_dir->path()).mkpath(QStringLiteral("dst"));
    writeFile(src() + QStringLiteral("/x.jpg"), "xxxx");
    writeFile(src() + QStringLiteral("/y.gif"), "yyyyyy");
    AppDir = m_dir->filePath(QStringLiteral("app")) + QLatin1Char('/');
    MainFolder = src();
    DestFolder = dst();
    m_messages = std::make_unique<MessageRecorder>();
    w = std::make_unique<pmvmin>();
    QCOMPARE(w->d2->setPath(src()), int(Ok));
    w->tx[1]->setText(QStringLiteral("A"));
    w->tx[2]->setText(QStringLiteral("1"));
}

void TransferTest::cleanup() {
    FileService::setCopyFaultForTests(nullptr);
    w.reset();
    m_messages.reset();
    m_dir.reset();
}

void TransferTest::selectionList() {
    writeFile(src() + QStringLiteral("/b.jpg"), "b");
    w->d3->refresh();
    w->d3->setSelected(2, true);
    w->d3->setSelected(0, true);
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    QCOMPARE(selection(), QStringList({"b.jpg", "x.jpg", "y.gif"}));
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QCOMPARE(selection(), QStringList({"b.jpg", "y.gif"}));
    QTest::mouseClick(w->Command3, Qt::LeftButton);
    QCOMPARE(selection(), QStringList());
}

void TransferTest::namesNoUtf8() {
    // Two names that read alike, one of them no UTF-8: each copy holds the
    // bytes of the file its entry came from.
    const QByteArray folder = QFile::encodeName(src());
    for (const auto &[name, bytes] :
         {std::pair<QByteArray, QByteArray>{"a\xff.jpg", "Y"}, {"a\xef\xbf\xbd.jpg", "X"}}) {
        QFile out;
        const int fd = ::open((folder + '/' + name).constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0 && out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
        out.write(bytes);
    }
    w->d3->refresh();
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    const QString shown = QString::fromUtf8("a\xef\xbf\xbd.jpg");
    QCOMPARE(selection(), QStringList({shown, shown, "x.jpg", "y.gif"}));
    QTest::mouseClick(w->st, Qt::LeftButton);
    QCOMPARE(filesIn(dst()), QStringList({"A1.jpg", "A2.jpg", "A3.jpg", "A4.gif"}));
    QCOMPARE(readFile(dst() + "/A1.jpg") + readFile(dst() + "/A2.jpg"), QByteArray("YX"));
}

void TransferTest::completeRun_data() {
    // dest: "set", "root" (both folders end in a separator, as drive roots
    // do) or "none" (copies go to the folder shown).
    QTest::addColumn<QString>("dest");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("copies");
    QTest::addColumn<QString>("next");
    // clang-format off
    QTest::newRow("from 1") << "set" << "1" << QStringList({"A1.jpg", "A2.gif"}) << "3";
    QTest::newRow("leading zeros") << "set" << "007" << QStringList({"A7.jpg", "A8.gif"}) << "9";
    QTest::newRow("through zero") << "set" << "-1" << QStringList({"A-1.jpg", "A0.gif"}) << "1";
    QTest::newRow("at the root") << "root" << "1" << QStringList({"A1.jpg", "A2.gif"}) << "3";
    QTest::newRow("no destination") << "none" << "1" << QStringList({"A1.jpg", "A2.gif"}) << "3";
    // clang-format on
}

void TransferTest::completeRun() {
    QFETCH(QString, dest);
    QFETCH(QString, start);
    QFETCH(QStringList, copies);
    QFETCH(QString, next);
    const QString target = dest == QLatin1String("none") ? src() : dst();
    if (dest == QLatin1String("root")) {
        w->tx[0]->setText(src() + QLatin1Char('/'));
        DestFolder = dst() + QLatin1Char('/');
    } else if (dest == QLatin1String("none")) {
        DestFolder.clear();
    }
    QStringList copied;
    QList<int> progress;
    FileService::setCopyFaultForTests([&](const QString &from, const QString &to) {
        copied << from << to;
        progress.append(w->s->value());
        return 0;
    });
    w->tx[2]->setText(start);
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    QTest::mouseClick(w->st, Qt::LeftButton);

    QCOMPARE(copied, QStringList({src() + "/x.jpg", target + '/' + copies[0], src() + "/y.gif",
                                  target + '/' + copies[1]}));
    QCOMPARE(readFile(target + '/' + copies[0]), QByteArray("xxxx"));
    QCOMPARE(readFile(target + '/' + copies[1]), QByteArray("yyyyyy"));
    QCOMPARE(progress, QList<int>({0, 1}));
    QCOMPARE(w->s->maximum(), 2);
    QCOMPARE(w->s->value(), 0);
    QCOMPARE(w->tx[2]->text(), next);
    const QString destAfter = dest == QLatin1String("root") ? dst() + '/' : target;
    QCOMPARE(readFile(AppDir + QStringLiteral("pmvf2.ini")),
             formatSettingsLine(src(), destAfter, "A", next).toUtf8());
    QCOMPARE(selection(), QStringList());
    // The window now shows the folder that received the copies.
    QCOMPARE(w->d3->path(), target);
    QCOMPARE(w->d3->names(), filesIn(target));
    QVERIFY(m_messages->shown().isEmpty());
}

void TransferTest::stoppedRun_data() {
    // Every run picks x.jpg, y.gif, z.jpg and ends early; the window stays on
    // the source folder. Fields: prefix|number typed, and as left.
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("fieldsAfter");
    QTest::addColumn<QStringList>("copies"); // also the selection list afterwards
    QTest::addColumn<int>("progress");
    QTest::addColumn<QString>("message");
    QTest::addColumn<MsgIcon>("icon");
    const QStringList one = {"A1.jpg"}, none;
    const QString typeError = QStringLiteral("正しく入力してください、") + errorText(TypeMismatch);
    const QString empty = QStringLiteral("正しく入力してください");
    const MsgIcon plain = MsgIcon::None, critical = MsgIcon::Critical;
    // clang-format off
    QTest::newRow("clash") << "clash" << "A|1" << "A|2" << one << 1 << "同名ファイルがあります" << critical;
    QTest::newRow("name gone") << "gone" << "A|1" << "A|2" << one << 1 << "" << plain;
    QTest::newRow("copy fails") << "copy" << "A|1" << "A|2" << one << 1 << "" << plain;
    QTest::newRow("settings not writable") << "settings" << "A|1" << "A|2" << one << 0 << "" << plain;
    QTest::newRow("no destination folder") << "dest" << "A|1" << "A|1" << none << 0 << "ドライブの準備ができません" << critical;
    QTest::newRow("nothing picked") << "unpicked" << "A|1" << "A|1" << none << 0 << "" << plain;
    QTest::newRow("abc") << "" << "A|abc" << "|" << none << 0 << typeError << plain;
    QTest::newRow("blanks") << "" << "A|  " << "|" << none << 0 << typeError << plain;
    QTest::newRow("separator in the prefix") << "" << "../A|1" << "|" << none << 0 << typeError << plain;
    QTest::newRow("no prefix") << "" << "|1" << "|1" << none << 0 << empty << plain;
    QTest::newRow("no number") << "" << "A|" << "A|" << none << 0 << empty << plain;
    // clang-format on
}

void TransferTest::stoppedRun() {
    QFETCH(QString, fault);
    QFETCH(QString, fields);
    QFETCH(QString, fieldsAfter);
    QFETCH(QStringList, copies);
    QFETCH(int, progress);
    QFETCH(QString, message);
    QFETCH(MsgIcon, icon);
    if (fault == QLatin1String("clash"))
        writeFile(dst() + QStringLiteral("/A2.gif"), "old");
    else if (fault == QLatin1String("gone"))
        QVERIFY(QFile::remove(src() + QStringLiteral("/y.gif")));
    else if (fault == QLatin1String("copy"))
        FileService::setCopyFaultForTests([](const QString &from, const QString &) {
            return from.endsWith(QLatin1String("y.gif")) ? int(GeneralFailure) : 0;
        });
    else if (fault == QLatin1String("settings"))
        AppDir = m_dir->filePath(QStringLiteral("no-such-folder/"));
    else if (fault == QLatin1String("dest"))
        DestFolder = m_dir->filePath(QStringLiteral("missing"));
    w->tx[1]->setText(fields.section('|', 0, 0));
    w->tx[2]->setText(fields.section('|', 1));
    select(fault == QLatin1String("unpicked") ? QStringList()
                                              : QStringList({"x.jpg", "y.gif", "z.jpg"}));
    w->st_Click();

    QCOMPARE(selection(), copies);
    QCOMPARE(w->tx[1]->text() + '|' + w->tx[2]->text(), fieldsAfter);
    QCOMPARE(w->s->value(), progress);
    QCOMPARE(m_messages->texts(), message.isEmpty() ? QStringList() : QStringList({message}));
    if (!message.isEmpty())
        QCOMPARE(m_messages->shown().first().icon, icon);
    QCOMPARE(w->d3->path(), src());
    // The copies made are kept, nothing is replaced and the number reached
    // is stored.
    QCOMPARE(filesIn(dst()),
             fault == QLatin1String("clash") ? QStringList({"A1.jpg", "A2.gif"}) : copies);
    if (!copies.isEmpty())
        QCOMPARE(readFile(dst() + QStringLiteral("/A1.jpg")), QByteArray("xxxx"));
    if (fault == QLatin1String("clash"))
        QCOMPARE(readFile(dst() + QStringLiteral("/A2.gif")), QByteArray("old"));
    QStringList stored;
    readSettings(&stored);
    QCOMPARE(stored.value(3),
             copies.isEmpty() || fault == QLatin1String("settings") ? QString() : "2");
    QCOMPARE(QFileInfo::exists(DestFolder), fault != QLatin1String("dest"));
}

QTEST_MAIN(TransferTest)
#include "TransferTest.moc"
