// The settings file: its one line of four quoted fields, the reading rules
// that also take hand-edited files, the encodings, and safe rewriting.

#include "platform/DataFile.h"
#include "platform/Errors.h"
#include "settings/SettingsFile.h"
#include "settings/Shared.h"
#include "tests/support/TestSupport.h"
#include "web/PomiIni.h"

#include <QDir>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSet>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
        QFile::remove(PomiIni::path());
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

        // What Shift_JIS cannot hold, or would read back otherwise: UTF-8
        // with a byte-order mark.
        QCOMPARE(f_save(QString::fromUtf8("/é"), "/b", "", ""), int(Ok));
        QCOMPARE(readFile(settingsFilePath()),
                 "\xef\xbb\xbf" + QString::fromUtf8("\"/é\",\"/b\",\"\",\"\"\r\n").toUtf8());
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
        // Half-width katakana in Shift_JIS whose bytes are also valid UTF-8.
        QTest::newRow("Shift_JIS half-width katakana")
            << QByteArray("\"C:\\\xc3\xbd\",\"\xc3\xbd\",\"\xc3\xbd\",\"1\"\r\n")
            << QStringList{QString::fromUtf8("C:\\ﾃｽ"), QString::fromUtf8("ﾃｽ"),
                           QString::fromUtf8("ﾃｽ"), "1"}
            << true;
        const QByteArray editor = QString::fromUtf8("\"/写真\",\"/ｶﾒﾗ\",\"é\",\"1\"\r\n").toUtf8();
        const QStringList edited{QString::fromUtf8("/写真"), QString::fromUtf8("/ｶﾒﾗ"),
                                 QString::fromUtf8("é"), "1"};
        QTest::newRow("UTF-8 from an editor") << editor << edited << true;
        QTest::newRow("UTF-8 with a byte-order mark") << "\xef\xbb\xbf" + editor << edited << true;
        // Fields longer than any path (or any file name, for the prefix and
        // the number) make the file unreadable from there on.
        QTest::newRow("first field too long")
            << "\"" + QByteArray(4097, 'p') + "\",\"/b\",\"A\",\"3\"" << QStringList{} << false;
        QTest::newRow("longest path") << "\"" + QByteArray(4096, 'p') + "\",\"/b\",\"A\",\"3\""
                                      << QStringList{QString(4096, 'p'), "/b", "A", "3"} << true;
        QTest::newRow("prefix too long") << "\"/a\",\"/b\",\"" + QByteArray(256, 'A') + "\",\"3\""
                                         << QStringList{"/a", "/b"} << false;
        QTest::newRow("50 MB after the fields")
            << "\"/a\",\"/b\",\"A\",\"3\"\r\n" + QByteArray(50 * 1024 * 1024, 'x')
            << QStringList{"/a", "/b", "A", "3"} << true;
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

    // Every text the program writes reads back as it was, through the real
    // writer and reader of both data files: 10,000 random texts of ASCII,
    // half-width katakana, kanji, Latin-1 and emoji.
    void everyTextReadsBack() {
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        // Half the rounds draw from one kind of character only, so that
        // files of nothing but half-width katakana (or Latin-1) are common.
        int only = -1;
        const auto text = [&] {
            QString t;
            for (int n = int(random.bounded(only < 0 ? 12 : 4)); n > 0; --n) {
                switch (only >= 0 ? only : random.bounded(5)) {
                case 0: {
                    const char16_t c = char16_t(0x20 + random.bounded(0x5f));
                    t += QChar(c == u'"' ? u'x' : c);
                    break;
                }
                case 1:
                    t += QChar(char16_t(0xff61 + random.bounded(0x3f)));
                    break;
                case 2:
                    t += QChar(char16_t(0x4e00 + random.bounded(0x51a6)));
                    break;
                case 3:
                    t += QChar(char16_t(0xa0 + random.bounded(0x60)));
                    break;
                default:
                    t += QString::fromUcs4(
                        std::array<char32_t, 1>{char32_t(0x1f600 + random.bounded(0x50))}.data(),
                        1);
                }
            }
            return t;
        };
        for (int round = 0; round < 2500; ++round) {
            only = random.bounded(2) ? int(random.bounded(5)) : -1;
            const QStringList values{text(), text(), text(), text()};
            const QByteArray context =
                "seed " + QByteArray::number(seed) + ": " + values.join('|').toUtf8();
            QCOMPARE(f_save(values[0], values[1], values[2], values[3]), int(Ok));
            QStringList fields;
            QVERIFY2(readSettings(&fields) == Ok && fields == values, context.constData());

            QStringList lines;
            for (const QString &v : values.mid(0, 3))
                lines.append(PomiIni::quoted(v));
            QCOMPARE(PomiIni::writeAnew(lines), int(Ok));
            QCOMPARE(PomiIni::append(values[3]), int(Ok));
            QStringList entries;
            QVERIFY2(PomiIni::read(&entries) == Ok && entries == values, context.constData());
        }
    }

    // A data file that is no regular file is unreadable at once, never
    // waited on, and never replaced.
    void notARegularFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("folder") << "folder";
        QTest::newRow("device") << "device";
    }

    void notARegularFile() {
        QFETCH(QString, kind);
        for (const QString &path : {settingsFilePath(), PomiIni::path()}) {
            const QByteArray native = QFile::encodeName(path);
            if (kind == "fifo")
                QCOMPARE(::mkfifo(native.constData(), 0644), 0);
            else if (kind == "folder")
                QVERIFY(QDir().mkdir(path));
            else
                QCOMPARE(::symlink("/dev/null", native.constData()), 0);
        }
        const auto removed = qScopeGuard([&] {
            for (const QString &path : {settingsFilePath(), PomiIni::path()}) {
                QDir().rmdir(path);
                QFile::remove(path);
            }
        });
        QStringList fields{"old"};
        const int err = readSettings(&fields);
        QVERIFY(err != Ok && err != FileNotFound);
        QVERIFY(fields.isEmpty());
        QStringList entries;
        QCOMPARE(PomiIni::read(&entries), int(GeneralFailure));
        QVERIFY(f_save("/a", "/b", "c", "d") != Ok);
        QVERIFY(PomiIni::writeAnew({"\"x\""}) != Ok);
        QVERIFY(PomiIni::append("y") != Ok);
        QFileInfo info(settingsFilePath());
        QVERIFY(kind == "folder" ? info.isDir() : !info.isFile() || info.isSymLink());
        QStringList left = filesIn(m_dir.path());
        left.removeAll(settingsFileName);
        left.removeAll(PomiIni::fileName);
        QCOMPARE(left, QStringList{});
    }

    // A child rewrites the file over and over and is killed at random
    // moments: the file always holds one whole record, the old or the new,
    // and what a kill leaves beside it goes at the next start.
    // POMIV_KILLS sets the number of kills (1,000 or more by hand).
    void rewriteSurvivesKill() {
        const int kills = qEnvironmentVariableIntValue("POMIV_KILLS") > 0
                              ? qEnvironmentVariableIntValue("POMIV_KILLS")
                              : 40;
        const QStringList records[] = {{QString(300, 'm'), "/dest", QString::fromUtf8("ﾃｽﾄ"), "99"},
                                       {"/m", QString::fromUtf8("/写真"), "A", "7"}};
        QSet<QByteArray> whole;
        for (const QStringList &r : records) {
            QCOMPARE(f_save(r[0], r[1], r[2], r[3]), int(Ok));
            whole.insert(readFile(settingsFilePath()));
        }
        QRandomGenerator random(QRandomGenerator::global()->generate());
        for (int k = 0; k < kills; ++k) {
            const pid_t child = ::fork();
            if (child == 0) {
                for (int n = 0;; ++n) {
                    const QStringList &r = records[n % 2];
                    f_save(r[0], r[1], r[2], r[3]);
                }
            }
            ::usleep(useconds_t(random.bounded(3000)));
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            QVERIFY2(whole.contains(readFile(settingsFilePath())), qPrintable(QString::number(k)));
        }
        qInfo("%d kills, %d temporary files left behind", kills,
              int(filesIn(m_dir.path()).size()) - 1);
        writeFile(m_dir.filePath("pomi.ini.a1B2c3"), "x");
        writeFile(m_dir.filePath("pmvf2.ini.bak"), "kept: not of the program's naming");
        removeStaleTemporaries(m_dir.path(), {settingsFileName, PomiIni::fileName});
        QCOMPARE(filesIn(m_dir.path()), (QStringList{"pmvf2.ini", "pmvf2.ini.bak"}));
        QFile::remove(m_dir.filePath("pmvf2.ini.bak"));
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
