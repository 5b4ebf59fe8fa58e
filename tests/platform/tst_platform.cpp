// Platform services: paths, data-file encodings, the file service, file-name
// patterns and the file listing both file lists share.

#include "platform/DataFile.h"
#include "platform/Errors.h"
#include "platform/FileList.h"
#include "platform/FileService.h"
#include "platform/Paths.h"
#include "platform/Volumes.h"
#include "platform/Wildcard.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pomiv;
using namespace pomiv::test;

class PlatformTest : public QObject {
    Q_OBJECT

private slots:
    void appDir() {
        QTemporaryDir dir;
        QCOMPARE(appDirFor(dir.path()), dir.path() + "/");
        // The separator is appended even to the root.
        QCOMPARE(appDirFor("/"), QString("//"));
        // A folder that cannot take files: the per-user configuration folder.
        QStandardPaths::setTestModeEnabled(true);
        const QString fallback = appDirFor(dir.path() + "/no/such/folder");
        QCOMPARE(fallback,
                 QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + "/");
        QVERIFY(QFileInfo(fallback).isDir());
        QStandardPaths::setTestModeEnabled(false);
    }

    void dataTextEncoding_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << "\"/a\"\r\n" << QByteArray("\"/a\"\r\n");
        QTest::newRow("japanese in Shift_JIS")
            << QString::fromUtf8("写真") << QByteArray("\x8e\xca\x90\x5e");
        QTest::newRow("katakana in Shift_JIS")
            << QString::fromUtf8("ポミブ") << QByteArray("\x83\x7c\x83\x7e\x83\x75");
        QTest::newRow("wave dash as CP932") << QString::fromUtf8("～") << QByteArray("\x81\x60");
        QTest::newRow("accent needs UTF-8")
            << QString::fromUtf8("写真é") << "\xef\xbb\xbf" + QString::fromUtf8("写真é").toUtf8();
        QTest::newRow("emoji needs UTF-8")
            << QString::fromUtf8("😀") << QByteArray("\xef\xbb\xbf\xf0\x9f\x98\x80");
        // Shift_JIS bytes that would read as UTF-8.
        QTest::newRow("half-width katakana, ambiguous")
            << QString::fromUtf8("ﾃｽ") << QByteArray("\xc3\xbd");
        QTest::newRow("kanji whose Shift_JIS reads as UTF-8")
            << QString::fromUtf8("縺０") << "\xef\xbb\xbf" + QString::fromUtf8("縺０").toUtf8();
    }

    void dataTextEncoding() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(encodeDataText(text), bytes);
        QCOMPARE(decodeDataText(bytes), text);
    }

    void copyNeverReplaces() {
        QTemporaryDir dir;
        const QString src = dir.filePath("src/a.jpg");
        const QString dst = dir.filePath("dst/a.jpg");
        writeFile(src, "new");
        writeFile(dst, "old");
        const FileService fs;
        QCOMPARE(fs.copyFile(src, dst), int(FileAlreadyExists));
        QCOMPARE(readFile(dst), QByteArray("old"));

        QCOMPARE(fs.copyFile(src, dir.filePath("dst/b.jpg")), int(Ok));
        QCOMPARE(readFile(dir.filePath("dst/b.jpg")), QByteArray("new"));

        QCOMPARE(fs.copyFile(src, dir.filePath("nowhere/b.jpg")), int(PathNotFound));
        QCOMPARE(fs.copyFile(dir.filePath("nowhere/a.jpg"), dir.filePath("dst/c.jpg")),
                 int(PathNotFound));
        QCOMPARE(fs.copyFile(dir.filePath("src/missing.jpg"), dir.filePath("dst/c.jpg")),
                 int(GeneralFailure));
        QVERIFY(!QFile::exists(dir.filePath("dst/c.jpg")));

        // Failures the system would give (access denied, a full disk).
        FileService::setCopyFaultForTests([](const QString &, const QString &) { return 70; });
        const int err = fs.copyFile(src, dir.filePath("dst/d.jpg"));
        FileService::setCopyFaultForTests(nullptr);
        QCOMPARE(err, 70);
        QVERIFY(!QFile::exists(dir.filePath("dst/d.jpg")));
    }

    // Deleting never changes a file's permissions, not through a link and
    // not when the delete fails; a link is removed, never what it points to.
    // Run as an ordinary user, for whom a read-only file is what it says.
    void forcedDelete_data() {
        QTest::addColumn<QString>("entry"); // what "folder/x.jpg" is
        QTest::addColumn<bool>("folderWritable");
        QTest::addColumn<int>("result");
        QTest::newRow("read-only file") << "file" << true << int(Ok);
        QTest::newRow("link to a read-only file") << "link" << true << int(Ok);
        QTest::newRow("delete refused") << "file" << false << int(GeneralFailure);
        QTest::newRow("link, delete refused") << "link" << false << int(GeneralFailure);
    }

    void forcedDelete() {
        QFETCH(QString, entry);
        QFETCH(bool, folderWritable);
        QFETCH(int, result);
        QTemporaryDir dir;
        const QString folder = dir.filePath("folder");
        const QString target = dir.filePath("target.jpg");
        const QString path = folder + "/x.jpg";
        writeFile(target, "x");
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        if (entry == "link")
            QVERIFY(QFile::link(target, path));
        else
            QVERIFY(QFile::rename(target, path));
        const QString file = entry == "link" ? target : path;
        const uid_t user = ::geteuid() == 0 ? 65534 : ::geteuid();
        QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        QCOMPARE(::lchown(QFile::encodeName(file).constData(), user, user), 0);
        QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0444), 0);
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), folderWritable ? 0777 : 0555), 0);

        // As root the work is done in a child that has become an ordinary
        // user; its exit code is the result.
        int got = -1;
        if (::geteuid() != 0) {
            got = FileService().deleteFile(path);
        } else {
            const pid_t child = ::fork();
            if (child == 0) {
                if (::setgid(user) != 0 || ::setuid(user) != 0)
                    ::_exit(99);
                ::_exit(FileService().deleteFile(path));
            }
            int status = 0;
            ::waitpid(child, &status, 0);
            got = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        QCOMPARE(got, result);
        QCOMPARE(QFileInfo(path).isSymLink() || QFileInfo::exists(path), result != Ok);
        struct stat st {};
        if (file != path || result != Ok) {
            QCOMPARE(::lstat(QFile::encodeName(file).constData(), &st), 0);
            QCOMPARE(st.st_mode & 07777, mode_t(0444));
        }
        const FileService fs;
        if (result == Ok) {
            QCOMPARE(fs.deleteFile(path), int(FileNotFound));
            QCOMPARE(fs.getFile(path), int(FileNotFound));
        }
        QCOMPARE(fs.getFile(dir.path()), int(FileNotFound));
    }

    // A listed name addresses the file it came from, byte for byte, also
    // when its bytes are no UTF-8 and read like another file's name.
    void namesAsTheSystemGaveThem() {
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path());
        const QList<QPair<QByteArray, QByteArray>> files = {
            {"a\xff.jpg", "Y"}, {"a\xef\xbf\xbd.jpg", "X"}, {"b\xc3.jpg", "Z"}};
        for (const auto &[name, bytes] : files) {
            QFile out;
            const int fd = ::open((folder + '/' + name).constData(), O_WRONLY | O_CREAT, 0644);
            QVERIFY(fd >= 0 && out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
            out.write(bytes);
        }
        QDir(dir.path()).mkdir("copies");
        const QStringList names = listFiles(dir.path(), "*.jpg");
        QCOMPARE(names.size(), 3);
        const FileService fs;
        for (const QString &name : names) {
            const QString path = joinPath(dir.path(), name);
            QCOMPARE(fs.getFile(path), int(Ok));
            const QString copy = joinPath(dir.filePath("copies"), name);
            QCOMPARE(fs.copyFile(path, copy), int(Ok));
            QCOMPARE(fs.renameFile(copy, copy.chopped(1) + '_'), int(Ok));
        }
        // Every copy holds its own file's bytes, under its own name.
        for (const auto &[name, bytes] : files) {
            QFile in;
            const QByteArray copy = folder + "/copies/" + name.chopped(1) + '_';
            const int fd = ::open(copy.constData(), O_RDONLY);
            QVERIFY2(fd >= 0, copy.constData());
            QVERIFY(in.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
            QCOMPARE(in.readAll(), bytes);
        }
        // Deleting one leaves the one that reads alike.
        const QString odd = names.at(names.indexOf(QRegularExpression("^a.\\.jpg$")));
        QCOMPARE(fs.deleteFile(joinPath(dir.path(), odd)), int(Ok));
        QCOMPARE(listFiles(dir.path(), "*.jpg").size(), 2);
    }

    void renameNeverReplaces() {
        QTemporaryDir dir;
        writeFile(dir.filePath("b.jpg"), "1");
        writeFile(dir.filePath("b.jp_"), "2");
        const FileService fs;
        QCOMPARE(fs.renameFile(dir.filePath("b.jpg"), dir.filePath("b.jp_")),
                 int(FileAlreadyExists));
        QCOMPARE(readFile(dir.filePath("b.jp_")), QByteArray("2"));
        QCOMPARE(fs.renameFile(dir.filePath("b.jpg"), dir.filePath("c.jp_")), int(Ok));
        QCOMPARE(readFile(dir.filePath("c.jp_")), QByteArray("1"));
    }

    void wildcard_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        QTest::newRow("ext") << "*.jpg"
                             << "a.jpg" << true;
        QTest::newRow("ext case") << "*.jpg"
                                  << "A.JPG" << true;
        QTest::newRow("ext other") << "*.jpg"
                                   << "a.jpeg" << false;
        QTest::newRow("star dot star, no dot") << "*.*"
                                               << "README" << true;
        QTest::newRow("name dot star, no dot") << "read*.*"
                                               << "README" << true;
        QTest::newRow("name dot star, other") << "x.*"
                                              << "README" << false;
        QTest::newRow("question") << "a?.gif"
                                  << "ab.gif" << true;
        QTest::newRow("question needs one") << "a?.gif"
                                            << "a.gif" << false;
        QTest::newRow("two patterns") << "*.bmp;*.gif"
                                      << "x.GIF" << true;
        QTest::newRow("two patterns, blanks") << "*.bmp ; *.gif"
                                              << "x.gif" << true;
        QTest::newRow("brackets literal") << "[a].jpg"
                                          << "[a].jpg" << true;
        QTest::newRow("brackets not a set") << "[a].jpg"
                                            << "a.jpg" << false;
        QTest::newRow("several stars") << "*a*b*"
                                       << "xaybz" << true;
        QTest::newRow("japanese") << QString::fromUtf8("写*") << QString::fromUtf8("写真.jpg")
                                  << true;
        QTest::newRow("empty pattern") << ""
                                       << "a.jpg" << false;
    }

    void wildcard() {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        QCOMPARE(Wildcard(pattern).matches(name), matches);
    }

    void listing() {
        QTemporaryDir dir;
        for (const char *name : {"b.jpg", "A.jpg", "a.JPG", "c.gif", ".hidden.jpg", "Z.jpg"})
            writeFile(dir.filePath(name), "x");
        QDir(dir.path()).mkdir("folder.jpg");
        int err = -1;
        QCOMPARE(listFiles(dir.path(), "*.jpg", &err),
                 (QStringList{"A.jpg", "a.JPG", "b.jpg", "Z.jpg"}));
        QCOMPARE(err, int(Ok));
        QCOMPARE(listFiles(dir.path(), "*.gif;*.JPG").size(), 5);
        QCOMPARE(listFiles(dir.path(), "*.png"), QStringList{});
        listFiles(dir.filePath("gone"), "*.*", &err);
        QCOMPARE(err, int(PathNotFound));
    }

    void fileListControl() {
        QTemporaryDir dir;
        writeFile(dir.filePath("one/a.jpg"), "x");
        writeFile(dir.filePath("one/b.gif"), "x");
        QDir(dir.path()).mkdir("two");
        FileList list;
        QSignalSpy paths(&list, &FileList::pathChanged);
        QSignalSpy patterns(&list, &FileList::patternChanged);
        QCOMPARE(list.setPath(dir.filePath("one")), int(Ok));
        QCOMPARE(list.count(), 2);
        QCOMPARE(list.setPath(dir.filePath("one")), int(Ok)); // same folder: no change
        QCOMPARE(paths.count(), 1);
        list.setPattern("*.gif");
        QCOMPARE(list.names(), QStringList{"b.gif"});
        QCOMPARE(patterns.count(), 1);
        QCOMPARE(list.setPath(dir.filePath("missing")), int(PathNotFound));
        QCOMPARE(list.path(), dir.filePath("one"));
        writeFile(dir.filePath("one/c.gif"), "x");
        list.refresh();
        QCOMPARE(list.count(), 2);
        list.setSelected(1, true);
        QVERIFY(list.isSelected(1));
        QVERIFY(!list.isSelected(0));
    }
};

QTEST_MAIN(PlatformTest)
#include "platform_test.moc"
