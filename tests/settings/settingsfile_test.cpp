// The settings file: its one line of four quoted fields, the reading rules
// that also take hand-edited files, the encodings, and safe rewriting.

#include "platform/DataFile.h"
#include "platform/Errors.h"
#include "settings/SettingsFile.h"
#include "settings/Shared.h"
#include "tests/support/TestSupport.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace pomiv;
using namespace pomiv::test;

class SettingsFileTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void init() {
        AppDir = m_dir.path() + QLatin1Char('/');
        QFile::remove(settingsFilePath());
        MainFolder.clear();
        DestFolder.clear();
    }

    void roundTrip_data() {
        QTest::addColumn<QStringList>("values");
        QTest::newRow("plain") << QStringList{"/home/a", "/home/b", "A", "12"};
        QTest::newRow("commas in paths") << QStringList{"/p/a,b", "/q/,c,", "x,y", "3"};
        QTest::newRow("japanese") << QStringList{QString::fromUtf8("/写真/旅行"),
                                                 QString::fromUtf8("/変換先/～"),
                                                 QString::fromUtf8("ポミ"), "007"};
        QTest::newRow("empty prefix and number") << QStringList{"/a", "/b", "", ""};
        QTest::newRow("all empty") << QStringList{"", "", "", ""};
        QTest::newRow("not in Shift_JIS")
            << QStringList{QString::fromUtf8("/tmp/café/😀"), "/b", QString::fromUtf8("한"), "1"};
        QTest::newRow("leading blanks kept inside quotes")
            << QStringList{"  /a ", "\t/b", " p ", " 5 "};
    }

    void roundTrip() {
        QFETCH(QStringList, values);
        QCOMPARE(f_save(values[0], values[1], values[2], values[3]), int(Ok));
        QStringList fields;
        QCOMPARE(readSettings(&fields), int(Ok));
        QCOMPARE(fields, values);
    }

    void writtenBytes() {
        QCOMPARE(f_save("/a", "", QString::fromUtf8("ア"), "1"), int(Ok));
        // Shift_JIS for ア is 83 41; one line ended by CR LF; nothing after it.
        QCOMPARE(readFile(settingsFilePath()), QByteArray("\"/a\",\"\",\"\x83\x41\",\"1\"\r\n"));

        QCOMPARE(f_save(QString::fromUtf8("/é"), "/b", "", ""), int(Ok));
        QCOMPARE(readFile(settingsFilePath()),
                 QString::fromUtf8("\"/é\",\"/b\",\"\",\"\"\r\n").toUtf8());
    }

    void handEdited_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<bool>("complete");
        QTest::newRow("unquoted, trailing spaces cut")
            << QByteArray("/a  , /b ,A,3\r\n") << QStringList{"/a", "/b", "A", "3"} << true;
        QTest::newRow("blanks before quotes, junk after")
            << QByteArray(" \t\"/a\" x,\"/b\",\"A\"  ,\"3\"") << QStringList{"/a", "/b", "A", "3"}
            << true;
        QTest::newRow("fields on several lines, LF only")
            << QByteArray("\"/a\"\n\"/b\"\n\"A\",\"3\"\n") << QStringList{"/a", "/b", "A", "3"}
            << true;
        QTest::newRow("only the first field")
            << QByteArray("\"/only\"\r\n") << QStringList{"/only"} << false;
        QTest::newRow("three fields")
            << QByteArray("\"/a\",\"/b\",\"P\"\r\n") << QStringList{"/a", "/b", "P"} << false;
        QTest::newRow("empty file") << QByteArray() << QStringList{} << false;
        QTest::newRow("no line end, unclosed quote")
            << QByteArray("\"/a\",\"/b\",\"P\",\"9") << QStringList{"/a", "/b", "P", "9"} << true;
        QTest::newRow("written by another program in Shift_JIS")
            << QByteArray(
                   "\"C:\\\x8e\xca\x90\x5e\",\"D:\\\x95\xcf\x8a\xb7\",\"\x83\x41\",\"1\"\r\n")
            << QStringList{QString::fromUtf8("C:\\写真"), QString::fromUtf8("D:\\変換"),
                           QString::fromUtf8("ア"), "1"}
            << true;
    }

    void handEdited() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, fields);
        QFETCH(bool, complete);
        writeFile(settingsFilePath(), content);
        QStringList read;
        QCOMPARE(readSettings(&read) == Ok, complete);
        QCOMPARE(read, fields);
    }

    void dialogReadTakesTheFoldersOnly() {
        writeFile(settingsFilePath(), "\"/m\"\r\n");
        MainFolder = "old main";
        DestFolder = "old dest";
        QVERIFY(readSettingsFolders() != Ok);
        QCOMPARE(MainFolder, QString("/m"));
        QCOMPARE(DestFolder, QString("old dest"));

        QFile::remove(settingsFilePath());
        QCOMPARE(readSettingsFolders(), int(FileNotFound));
        QCOMPARE(MainFolder, QString("/m"));
    }

    void badInputNeverHangs_data() {
        QTest::addColumn<QByteArray>("content");
        QByteArray binary;
        for (int i = 0; i < 4096; ++i)
            binary.append(char(i * 37 % 256));
        QTest::newRow("binary") << binary;
        QTest::newRow("invalid Shift_JIS")
            << QByteArray("\"\x81\",\"\xff\xfe\",\"\xa0\",\"\x82\"\r\n");
        QTest::newRow("50 MB line without end") << QByteArray(50 * 1024 * 1024, 'x');
        QTest::newRow("nul bytes") << QByteArray("\"a\0b\",\"c\",\"d\",\"e\"", 18);
    }

    void badInputNeverHangs() {
        QFETCH(QByteArray, content);
        writeFile(settingsFilePath(), content);
        QStringList fields;
        readSettings(&fields);
        QVERIFY(fields.size() <= 4);
        // The file can be rewritten afterwards: it was closed.
        QCOMPARE(f_save("/a", "/b", "c", "d"), int(Ok));
        QCOMPARE(readSettings(&fields), int(Ok));
        QCOMPARE(fields, (QStringList{"/a", "/b", "c", "d"}));
    }

    void oversizedFileIsUnreadable() {
        writeFile(settingsFilePath(), QByteArray(maxDataFileBytes + 10, ','));
        QStringList fields;
        QCOMPARE(readSettings(&fields), int(GeneralFailure));
        QVERIFY(fields.isEmpty());
    }

    void rewriteKeepsOneCompleteLine() {
        // Shorter, equal, longer, much shorter: in place or replaced, the file
        // always holds exactly the last line written.
        for (const char *number : {"1000", "999", "998", "123456789012", "7"}) {
            QCOMPARE(f_save("/m", "/d", "P", number), int(Ok));
            QCOMPARE(readFile(settingsFilePath()),
                     formatSettingsLine("/m", "/d", "P", number).toLatin1());
        }
        QCOMPARE(filesIn(m_dir.path()), QStringList{"pmvf2.ini"});
    }

    void failedWriteLeavesOldFile_data() {
        QTest::addColumn<QString>("mainFolder");
        QTest::addColumn<int>("limit");
        QTest::newRow("longer line, replaced") << QString(200, 'n') << 16;
        // Even a rewrite within the old length can be stopped short.
        QTest::newRow("shorter line, in place") << QString("/short") << 8;
    }

    void failedWriteLeavesOldFile() {
        QFETCH(QString, mainFolder);
        QFETCH(int, limit);
        QCOMPARE(f_save("/a-long-main-folder", "/dest", "A", "7"), int(Ok));
        const QByteArray before = readFile(settingsFilePath());
        // A file-size limit makes the write fail the way a full disk would,
        // even for root.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = rlim_t(limit);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const int err = f_save(mainFolder, "/dest", "A", "8");
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(err != Ok);
        QCOMPARE(readFile(settingsFilePath()), before);
        QCOMPARE(filesIn(m_dir.path()), QStringList{"pmvf2.ini"});
    }

    void writeIntoMissingFolderFails() {
        AppDir = m_dir.path() + "/missing/";
        QCOMPARE(f_save("/a", "/b", "", ""), int(PathNotFound));
    }

    void appDirInRootStillFindsTheFile() {
        // A doubled separator still addresses the file.
        AppDir = m_dir.path() + "//";
        QCOMPARE(f_save("/r", "/s", "", "1"), int(Ok));
        AppDir = m_dir.path() + "/";
        QStringList fields;
        QCOMPARE(readSettings(&fields), int(Ok));
        QCOMPARE(fields.first(), QString("/r"));
    }
};

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "settingsfile_test.moc"
