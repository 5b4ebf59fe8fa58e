#include "app/pmvmin.h"
#include "controls/FileList.h"
#include "controls/FolderList.h"
#include "core/DataFile.h"
#include "core/Errors.h"
#include "core/FileService.h"
#include "settings/Shared.h"
#include "settings/rules/NumberedNames.h"
#include "settings/rules/SettingsFile.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pomiv;
using namespace pomiv::test;

// x.jpg (private) and y.gif (empty, open to all).
static void makeSources(const QString &folder) {
    writeFile(folder + "/x.jpg", "xxxx");
    writeFile(folder + "/y.gif", "");
    ::chmod(QFile::encodeName(folder + "/x.jpg").constData(), 0600);
    ::chmod(QFile::encodeName(folder + "/y.gif").constData(), 0666);
}

static struct stat statOf(const QString &path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

class TransferTest : public QObject {
    Q_OBJECT
    QString src(const QString &name = {}) const { return m_dir->filePath("src/" + name); }
    QString dst(const QString &name = {}) const { return m_dir->filePath("dst/" + name); }
    QStringList selection() const {
        QStringList names;
        for (int i = 0; i < w->d4->count(); ++i)
            names.append(w->d4->item(i)->text());
        return names;
    }
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MessageRecorder> m_messages;
    std::unique_ptr<pmvmin> w;

private slots:
    void newNames() {
        // The extension part runs from the last dot, unless that is the first
        // character.
        for (const QString s : {"A1.jpg<x.jpg", "A1.jpeg<photo.jpeg", "A1<README", "A1<.profile",
                                "A1.GIF<a.b.c.GIF", "A1.<x."})
            QCOMPARE(numberedName("A", 1, s.section('<', 1)), s.section('<', 0, 0));
    }

    void init() {
        FileService::setCopyFaultForTests(nullptr);
        w.reset();
        m_messages.reset();
        m_dir = std::make_unique<QTemporaryDir>();
        QDir(m_dir->path()).mkpath("dst");
        makeSources(src().chopped(1));
        AppDir = m_dir->filePath("app/");
        writeFile(AppDir + "pmvf2.ini", QByteArray(300, 'o'));
        ::chmod(QFile::encodeName(AppDir + "pmvf2.ini").constData(), 0640);
        MainFolder = src().chopped(1);
        DestFolder = dst().chopped(1);
        m_messages = std::make_unique<MessageRecorder>();
        w = std::make_unique<pmvmin>();
        QCOMPARE(w->d2->setPath(MainFolder), int(Ok));
        w->tx[1]->setText("A");
        w->tx[2]->setText("1");
    }

    void selectionAndNamesNoUtf8() {
        // Two names that read alike, one of them no UTF-8: each copy holds the
        // bytes of the file its entry came from.
        const QByteArray names[] = {"/a\xff.jpg", "/a\xef\xbf\xbd.jpg"};
        for (const QByteArray &name : names) {
            const int fd = ::open((QFile::encodeName(src().chopped(1)) + name).constData(),
                                  O_WRONLY | O_CREAT, 0644);
            QVERIFY(fd >= 0 && ::write(fd, name.constData() + 2, 1) == 1 && ::close(fd) == 0);
        }
        w->d3->refresh();
        QCOMPARE(w->d3->count(), 4);
        for (const int r : {3, 1})
            w->d3->selectionModel()->select(w->d3->model()->index(r, 0),
                                            QItemSelectionModel::Select);
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        const QString shown = QString::fromUtf8("a\xef\xbf\xbd.jpg");
        QCOMPARE(selection(), QStringList({shown, shown, "x.jpg", "y.gif"}));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QCOMPARE(selection(), QStringList({shown, "y.gif"}));
        QTest::mouseClick(w->Command3, Qt::LeftButton);
        QCOMPARE(selection(), QStringList());
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QTest::mouseClick(w->st, Qt::LeftButton);
        QCOMPARE(readFile(dst("A1.jpg")) + readFile(dst("A2.jpg")), QByteArray("\xff\xef"));
        for (const QByteArray &name : names)
            ::unlink((QFile::encodeName(src().chopped(1)) + name).constData());
    }

    void run_data() {
        // Runs of x.jpg and y.gif, both picked. Fields: prefix|number typed >
        // as left. Copies: also the selection list after a run that ends
        // early. "!": the critical icon.
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QStringList>("copies");
        QTest::addColumn<int>("progress");
        QTest::addColumn<QString>("message");
        const QStringList two = {"A1.jpg", "A2.gif"}, one = {"A1.jpg"}, none;
        const QString typeError = "正しく入力してください、" + errorText(TypeMismatch);
        const QString clash = "!同名ファイルがあります", empty = "正しく入力してください";
        // clang-format off
        QTest::newRow("from 1") << "" << "A|1>A|3" << two << 0 << "";
        QTest::newRow("leading zeros") << "" << "A|007>A|9" << QStringList({"A7.jpg", "A8.gif"}) << 0 << "";
        QTest::newRow("through zero") << "" << "A|-1>A|1" << QStringList({"A-1.jpg", "A0.gif"}) << 0 << "";
        QTest::newRow("sign, blanks") << "" << "A| +5\t>A|7" << QStringList({"A5.jpg", "A6.gif"}) << 0 << "";
        QTest::newRow("15 digits") << "" << "A|999999999999990>A|999999999999992" << QStringList({"A999999999999990.jpg", "A999999999999991.gif"}) << 0 << "";
        QTest::newRow("at the root") << "root" << "A|1>A|3" << two << 0 << "";
        QTest::newRow("no destination") << "none" << "A|1>A|3" << two << 0 << "";
        QTest::newRow("across file systems") << "shm" << "A|1>A|3" << two << 0 << "";
        QTest::newRow("another copy of the program starts") << "taken" << "A|1>A|3" << two << 0 << "";
        QTest::newRow("clash") << "clash" << "A|1>A|2" << one << 1 << clash;
        QTest::newRow("clash with a link") << "link" << "A|1>A|2" << one << 1 << clash;
        QTest::newRow("name gone, new name taken") << "gone clash" << "A|1>A|2" << one << 1 << clash;
        QTest::newRow("name gone") << "gone" << "A|1>A|2" << one << 1 << "";
        QTest::newRow("name of a folder") << "folder" << "A|1>A|2" << one << 1 << "";
        QTest::newRow("copy fails") << "copy" << "A|1>A|2" << one << 1 << "";
        QTest::newRow("settings not writable") << "settings" << "A|1>A|2" << one << 0 << "";
        QTest::newRow("no destination folder") << "dest" << "A|1>A|1" << none << 0 << "!ドライブの準備ができません";
        QTest::newRow("nothing picked") << "unpicked" << "A|1>A|1" << none << 0 << "";
        QTest::newRow("abc") << "" << "A|abc>|" << none << 0 << typeError;
        QTest::newRow("blanks") << "" << "A|  >|" << none << 0 << typeError;
        QTest::newRow("separator in the prefix") << "" << "../A|1>|" << none << 0 << typeError;
        QTest::newRow("fraction") << "" << "A|1.5>|" << none << 0 << typeError;
        QTest::newRow("16 digits") << "" << "A|1000000000000000>|" << none << 0 << typeError;
        QTest::newRow("no prefix") << "" << "|1>|1" << none << 0 << empty;
        QTest::newRow("no number") << "" << "A|>A|" << none << 0 << empty;
        // clang-format on
    }

    void run() {
        QFETCH(QString, setup);
        QFETCH(QString, fields);
        QFETCH(QStringList, copies);
        QFETCH(int, progress);
        QFETCH(QString, message);
        QTemporaryDir shm("/dev/shm/pomiv-XXXXXX");
        if (setup == "shm") {
            QVERIFY2(shm.isValid(), "no /dev/shm");
            makeSources(MainFolder = shm.path());
            QCOMPARE(w->d2->setPath(MainFolder), int(Ok));
        }
        const QString target = setup == "none" ? MainFolder : dst().chopped(1);
        if (setup == "root")
            w->tx[0]->setText(src());
        DestFolder = setup == "root"   ? dst()
                     : setup == "none" ? QString()
                     : setup == "dest" ? m_dir->filePath("missing")
                                       : DestFolder;
        AppDir = setup == "settings" ? m_dir->filePath("no-such-folder/") : AppDir;
        if (setup.contains("clash"))
            writeFile(dst("A2.gif"), "old");
        if (setup == "link")
            QVERIFY(QFile::link(dst("nothing"), dst("A2.gif")));
        QStringList copied;
        QList<ino_t> settingsFiles;
        FileService::setCopyFaultForTests([&](const QString &from, const QString &to) {
            copied << from << to << QString::number(w->s->value());
            settingsFiles << statOf(AppDir + "pmvf2.ini").st_ino;
            if (setup == "taken") // it removes what it takes for leftovers
                removeStaleTemporaries(AppDir, {settingsFileName});
            return setup == "copy" && from.endsWith("y.gif") ? int(GeneralFailure) : 0;
        });
        w->tx[1]->setText(fields.section('>', 0, 0).section('|', 0, 0));
        w->tx[2]->setText(fields.section('>', 0, 0).section('|', 1));
        if (setup != "unpicked")
            QTest::mouseClick(w->Command2, Qt::LeftButton);
        if (setup.startsWith("gone") || setup == "folder")
            QVERIFY(QFile::remove(src("y.gif")) &&
                    (setup != "folder" || QDir().mkdir(src("y.gif"))));
        QTest::mouseClick(w->st, Qt::LeftButton);

        // A complete run shows the folder that received the copies, without
        // a message; one that ends early stays where it was.
        const bool complete = copies.size() == 2;
        QCOMPARE(selection(), complete ? QStringList() : copies);
        QCOMPARE(w->tx[1]->text() + '|' + w->tx[2]->text(), fields.section('>', 1));
        QCOMPARE(w->s->value(), progress);
        QCOMPARE(m_messages->texts().join(""), QString(message).remove('!'));
        QCOMPARE(m_messages->shown().value(0).icon == MsgIcon::Critical, message.startsWith('!'));
        QCOMPARE(w->d3->path(), complete ? target : MainFolder);
        if (complete)
            QCOMPARE(w->d3->names(), filesIn(target));
        // Progress 0, 1 as each file is copied; the copies have their
        // sources' bytes and permissions; nothing is replaced.
        if (complete)
            QCOMPARE(copied, QStringList({MainFolder + "/x.jpg", target + '/' + copies[0], "0",
                                          MainFolder + "/y.gif", target + '/' + copies[1], "1"}));
        for (int i = 0; i < copies.size(); ++i) {
            QCOMPARE(readFile(target + '/' + copies[i]), QByteArray(i ? "" : "xxxx"));
            QCOMPARE(statOf(target + '/' + copies[i]).st_mode & 0777, i ? 0666u : 0600u);
        }
        QCOMPARE(filesIn(dst()), setup == "none"           ? QStringList()
                                 : setup.contains("clash") ? copies + QStringList{"A2.gif"}
                                                           : copies);
        QCOMPARE(readFile(dst("A2.gif")), QByteArray(setup.contains("clash") ? "old" : ""));
        // The number reached is stored after every file, with the folder the
        // copies went to, in a file that keeps its permissions and is never
        // written into in place; nothing is left beside it. No folder is made.
        const QString line = formatSettingsLine(
            {MainFolder, setup == "root" ? dst() : target, "A", fields.section('|', 2)});
        const QByteArray stored = copies.isEmpty()      ? QByteArray(300, 'o')
                                  : setup == "settings" ? QByteArray()
                                                        : line.toUtf8();
        QCOMPARE(readFile(AppDir + "pmvf2.ini"), stored);
        QCOMPARE(statOf(AppDir + "pmvf2.ini").st_mode & 0777, stored.isEmpty() ? 0 : 0640u);
        QCOMPARE(filesIn(AppDir), stored.isEmpty() ? QStringList() : QStringList{"pmvf2.ini"});
        settingsFiles << statOf(AppDir + "pmvf2.ini").st_ino;
        for (int i = 1; i < copies.size() + 1 && setup != "settings"; ++i)
            QVERIFY(settingsFiles[i] != settingsFiles[i - 1]);
    }
};

QTEST_MAIN(TransferTest)
#include "tst_transfer.moc"
