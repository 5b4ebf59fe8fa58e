// Platform services: the data folder and data files, the file service,
// file-name patterns and the file listing both file lists share.

#include "controls/FileList.h"
#include "controls/MessageBox.h"
#include "core/DataFile.h"
#include "core/Errors.h"
#include "core/FileService.h"
#include "core/Listing.h"
#include "core/Paths.h"
#include "core/Text.h"
#include "core/Wildcard.h"
#include "tests/support/TestSupport.h"
#include "web/rules/PomiIni.h"

#include <QSignalSpy>
#include <QtWidgets>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pomiv;
using namespace pomiv::test;

static const QByteArray bom("\xef\xbb\xbf");

class PlatformTest : public QObject {
    Q_OBJECT

private slots:
    // The program's folder plus a separator, even after the root; the
    // per-user configuration folder when the program's cannot take files.
    void appDir() {
        QTemporaryDir dir;
        QCOMPARE(appDirFor(dir.path()), dir.path() + "/");
        QCOMPARE(appDirFor("/"), QString("//"));
        QStandardPaths::setTestModeEnabled(true);
        const QString fallback = appDirFor(dir.path() + "/no/such/folder");
        QCOMPARE(fallback,
                 QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + "/");
        QVERIFY(QFileInfo(fallback).isDir());
        // An installed copy keeps its data per user even when its folder
        // could be written (root), so nothing lands among the programs.
        QCOMPARE(appDirFor(installedProgramDir()), fallback);
        QStandardPaths::setTestModeEnabled(false);
    }

    // Shift_JIS where it holds the text and cannot read as UTF-8, else UTF-8
    // with a byte-order mark, each reading back as itself; long UTF-8 in pieces.
    void dataTextEncoding() {
        const std::pair<const char *, QByteArray> rows[] = {{"写真\r\n", "\x8e\xca\x90\x5e\r\n"},
                                                            {"～", "\x81\x60"},
                                                            {"ﾃｽ", "\xc3\xbd"},
                                                            {"写真é", bom + "写真é"},
                                                            {"縺０", bom + "縺０"}};
        for (const auto &[utf8, bytes] : rows) {
            const QString text = QString::fromUtf8(utf8);
            QVERIFY2(encodeDataText(text) == bytes && decodeDataText(bytes) == text, utf8);
        }
        for (const QByteArray &pad : {QByteArray(65533, 'a'), QByteArray(65535, 'a')}) // across
            QVERIFY(isUtf8(pad + "写") && isUtf8(pad + "a写") && !isUtf8(pad + "a\xe5\x86"));
    }

    // A data file that is no regular file is unreadable at once, never
    // waited on, and never replaced.
    void notARegularFile() {
        for (const QString kind : {"FIFO", "folder", "device"}) {
            QTemporaryDir dir;
            const QString path = dir.filePath("pmvf2.ini");
            const QByteArray native = QFile::encodeName(path);
            QCOMPARE(kind == "FIFO"     ? ::mkfifo(native.constData(), 0644)
                     : kind == "folder" ? ::mkdir(native.constData(), 0755)
                                        : ::symlink("/dev/null", native.constData()),
                     0);
            QString text;
            QCOMPARE(readDataFile(path, &text), GeneralFailure);
            QVERIFY(writeDataFile(path, "x") != Ok);
            const QFileInfo info(path);
            QVERIFY(kind == "folder" ? info.isDir() : !info.isFile() || info.isSymLink());
            QCOMPARE(
                QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                QStringList{"pmvf2.ini"});
        }
    }

    // A write stopped short (a file-size limit fails it the way a full disk
    // would, even for root) leaves the old file as it was, and nothing beside;
    // a line appended to the saved URLs adds no file either.
    // A child rewrites a data file over and over and is killed at random
    // moments: the file always holds the whole old or new content, and what
    // a kill leaves beside it goes at the next start.
    // POMIV_KILLS sets the number of kills (1,000 or more by hand).
    void rewriteSurvivesKill() {
        const int kills = std::max(qEnvironmentVariableIntValue("POMIV_KILLS"), 40);
        QTemporaryDir dir;
        const QString path = dir.filePath("pmvf2.ini");
        const QString contents[] = {QString(300, 'm') + QString::fromUtf8("ﾃｽﾄ\r\n"),
                                    QString::fromUtf8("\"/m\",\"/写真\"\r\n")};
        QSet<QByteArray> whole;
        for (const QString &content : contents) {
            QCOMPARE(writeDataFile(path, content), Ok);
            whole.insert(readFile(path));
        }
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit small{16, old.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const Error err = writeDataFile(path, QString(200, 'n')),
                    appended = PomiIni(dir.path() + '/').append("http://h/a-longer-address.html");
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(err != Ok && appended != Ok && readFile(path) == encodeDataText(contents[1]));
        QCOMPARE(filesIn(dir.path()), QStringList{"pmvf2.ini"});
        QRandomGenerator random(QRandomGenerator::global()->generate());
        for (int k = 0; k < kills; ++k) {
            const pid_t child = ::fork();
            for (int n = 0; child == 0; ++n)
                writeDataFile(path, contents[n % 2]);
            ::usleep(useconds_t(random.bounded(3000)));
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            QVERIFY2(whole.contains(readFile(path)), qPrintable(QString::number(k)));
        }
        writeFile(dir.filePath("pomi.ini.a1B2c3"), "x");
        writeFile(dir.filePath("pmvf2.ini.bak"), "kept: not of the program's naming");
        removeStaleTemporaries(dir.path(), {"pmvf2.ini", "pomi.ini"});
        QCOMPARE(filesIn(dir.path()), (QStringList{"pmvf2.ini", "pmvf2.ini.bak"}));
    }

    // Copying and renaming never replace a file; a failed copy leaves none.
    // Each row: copy or rename, from, to, the result, what `to` holds after
    // (empty: no file).
    void copyAndRename() {
        const std::tuple<bool, QString, QString, Error, QByteArray> rows[] = {
            {true, "src/a.jpg", "dst/b.jpg", Ok, "new"},
            {true, "src/a.jpg", "dst/a.jpg", FileAlreadyExists, "old"},
            {true, "src/a.jpg", "nowhere/b.jpg", PathNotFound, ""},
            {true, "nowhere/a.jpg", "dst/c.jpg", PathNotFound, ""},
            {true, "src/missing.jpg", "dst/c.jpg", GeneralFailure, ""},
            {true, "src/a.jpg", "dst/c.jpg", DeviceUnavailable, ""}, // the copy hook's refusal
            {false, "dst/a.jpg", "dst/a.jp_", Ok, "old"},
            {false, "src/a.jpg", "dst/a.jpg", FileAlreadyExists, "old"}};
        for (const auto &[copy, from, to, result, after] : rows) {
            QTemporaryDir dir;
            writeFile(dir.filePath("src/a.jpg"), "new");
            writeFile(dir.filePath("dst/a.jpg"), "old");
            if (result == DeviceUnavailable)
                FileService::setCopyFaultForTests(
                    [](const QString &, const QString &) { return DeviceUnavailable; });
            const FileService fs;
            const Error got = copy ? fs.copyFile(dir.filePath(from), dir.filePath(to))
                                   : fs.renameFile(dir.filePath(from), dir.filePath(to));
            FileService::setCopyFaultForTests(nullptr);
            QVERIFY2(got == result && QFileInfo::exists(dir.filePath(to)) == !after.isEmpty() &&
                         readFile(dir.filePath(to)) == after,
                     qPrintable(from + " -> " + to));
        }
    }

    // Deleting never changes a file's permissions, not through a link and
    // not when the delete fails; a link is removed, never what it points to.
    // Run as an ordinary user, for whom a read-only file is what it says.
    void forcedDelete_data() {
        QTest::addColumn<bool>("link"); // "folder/x.jpg" is a link to the file
        QTest::addColumn<bool>("folderWritable");
        for (const bool link : {false, true})
            for (const bool writable : {false, true})
                QTest::addRow("link %d, folder writable %d", link, writable) << link << writable;
    }

    void forcedDelete() {
        QFETCH(bool, link);
        QFETCH(bool, folderWritable);
        QTemporaryDir dir;
        const QString folder = dir.filePath("folder"), target = dir.filePath("target.jpg"),
                      path = folder + "/x.jpg";
        writeFile(target, "x");
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        QVERIFY(link ? QFile::link(target, path) : QFile::rename(target, path));
        const QByteArray file = QFile::encodeName(link ? target : path);
        const uid_t user = ::geteuid() == 0 ? 65534 : ::geteuid();
        QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        QCOMPARE(::lchown(file.constData(), user, user), 0);
        QCOMPARE(::chmod(file.constData(), 0444), 0);
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), folderWritable ? 0777 : 0555), 0);

        // As root the work is done in a child that has become an ordinary
        // user; its exit code is the result.
        int got = ::geteuid() != 0 ? int(FileService().deleteFile(path)) : -1, status = 0;
        if (const pid_t child = got == -1 ? ::fork() : 1; child == 0) {
            if (::setgid(user) != 0 || ::setuid(user) != 0)
                ::_exit(99);
            ::_exit(::access(QFile::encodeName(folder).constData(), X_OK) != 0
                        ? 98
                        : int(FileService().deleteFile(path)));
        } else if (got == -1 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) {
            got = WEXITSTATUS(status);
        }
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        if (got == 98)
            QSKIP("an ordinary user cannot reach the temporary folder on this machine");
        QCOMPARE(Error(got), folderWritable ? Ok : GeneralFailure);
        QCOMPARE(QFileInfo(path).isSymLink() || QFileInfo::exists(path), !folderWritable);
        struct stat st {};
        if (link || !folderWritable) {
            QCOMPARE(::lstat(file.constData(), &st), 0);
            QCOMPARE(st.st_mode & 07777, mode_t(0444));
        }
        if (folderWritable)
            QVERIFY(FileService().deleteFile(path) == FileNotFound &&
                    FileService().getFile(path) == FileNotFound);
        QCOMPARE(FileService().getFile(dir.path()), FileNotFound);
    }

    // A listed name addresses the file it came from, byte for byte: also bytes
    // that are no UTF-8 and read like another name, a character beyond 16 bits
    // (📷 ends like a carried byte), a byte-order mark at the start.
    void namesAsTheSystemGaveThem() {
        QTemporaryDir dir;
        const QList<QPair<QByteArray, QByteArray>> files = {
            {"a\xff.jpg", "Y"}, {"a\xef\xbf\xbd.jpg", "X"}, {"b\xc3.jpg", "Z"},
            {"📷\xff.jpg", "P"}, {bom + "c.jpg", "B"},       {bom + "d\xff.jpg", "D"}};
        for (const auto &[name, bytes] : files)
            writeRaw(dir.path(), name, bytes);
        QDir(dir.path()).mkdir("copies");
        const QStringList names = matchingFiles(*readFolder(dir.path()), "*.jpg");
        QCOMPARE(
            displayText(names.join('|')),
            QString(
                "a\uFFFD.jpg|a\uFFFD.jpg|b\uFFFD.jpg|📷\uFFFD.jpg|\uFEFFc.jpg|\uFEFFd\uFFFD.jpg"));
        const FileService fs;
        for (const QString &name : names) {
            const QString path = joinPath(dir.path(), name),
                          copy = joinPath(dir.filePath("copies"), name);
            QVERIFY(fs.getFile(path) == Ok && fs.copyFile(path, copy) == Ok &&
                    fs.renameFile(copy, copy.chopped(1) + '_') == Ok);
        }
        for (const auto &[name, bytes] : files)
            QCOMPARE(readRaw(dir.filePath("copies"), name.chopped(1) + '_'), bytes);
        // Deleting one leaves the one that reads alike.
        const QString odd = names.at(names.indexOf(QRegularExpression("^a.\\.jpg$")));
        QCOMPARE(fs.deleteFile(joinPath(dir.path(), odd)), Ok);
        QCOMPARE(matchingFiles(*readFolder(dir.path()), "*.jpg").size(), 5);
    }

    // Each pattern with names it matches, then names it does not.
    void wildcard() {
        const QList<std::tuple<QString, QStringList, QStringList>> rows = {
            {"*.jpg", {"a.jpg", "A.JPG"}, {"a.jpeg"}},
            {"read*.*", {"README"}, {}},
            {"x.*", {}, {"README"}},
            {"a?.gif", {"ab.gif"}, {"a.gif"}},
            {"*.bmp ; *.gif", {"x.GIF"}, {}},
            {"[a].jpg", {"[a].jpg"}, {"a.jpg"}},
            {"*a*b*", {"xaybz"}, {}},
            {"写*", {"写真.jpg"}, {}},
            {"", {}, {"a.jpg"}}};
        for (const auto &[pattern, yes, no] : rows)
            for (const QString &name : yes + no)
                QVERIFY2(Wildcard(pattern).matches(name) == yes.contains(name),
                         qPrintable(pattern + " ~ " + name));
    }

    // Files only, hidden ones left out, sorted without regard to case; the
    // list control keeps its folder when another cannot be read.
    void listing() {
        QTemporaryDir dir;
        for (const char *name : {"b.jpg", "A.jpg", "a.JPG", "c.gif", ".hidden.jpg", "Z.jpg"})
            writeFile(dir.filePath(name), "x");
        QDir(dir.path()).mkdir("folder.jpg");
        QCOMPARE(matchingFiles(*readFolder(dir.path()), "*.jpg"),
                 (QStringList{"A.jpg", "a.JPG", "b.jpg", "Z.jpg"}));

        FileList list;
        QSignalSpy paths(&list, &FileList::pathChanged);
        QVERIFY(list.setPath(dir.path()) == Ok && list.setPath(dir.path()) == Ok);
        QCOMPARE(paths.count(), 1); // the same folder again is no change
        list.setPattern("*.gif");
        QCOMPARE(list.names(), QStringList{"c.gif"});
        QCOMPARE(list.setPath(dir.filePath("gone")), PathNotFound);
        QCOMPARE(list.path(), dir.path());
        writeFile(dir.filePath("d.gif"), "x");
        list.refresh();
        QCOMPARE(list.names(), (QStringList{"c.gif", "d.gif"}));
    }

    // A Yes/No question stays on screen through Escape and its close box;
    // only its buttons answer it. An OK box still closes with Escape.
    void questionsAnsweredByButtons() {
        for (const MsgButtons buttons : {MsgButtons::YesNo, MsgButtons::Ok}) {
            QStringList steps;
            QTimer::singleShot(0, [&steps] {
                QPointer box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                QTest::keyClick(box, Qt::Key_Escape);
                steps << (box->isVisible() ? "up" : "closed");
                box->close();
                steps << (box->isVisible() ? "up" : "closed");
                if (box->isVisible())
                    box->button(QMessageBox::No)->click();
            });
            const MsgAnswer answer = message(nullptr, "?", buttons);
            const bool question = buttons == MsgButtons::YesNo;
            QCOMPARE(steps.join(' '), question ? "up up" : "closed closed");
            QCOMPARE(answer, question ? MsgAnswer::No : MsgAnswer::Ok);
        }
    }
};

QTEST_MAIN(PlatformTest)
#include "tst_platform.moc"
