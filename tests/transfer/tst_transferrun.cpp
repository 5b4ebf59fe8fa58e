// The numbered transfer run: new names and numbers, the copies, the failure
// that ends a run, and the settings file written back after every copy.

#include "core/DataFile.h"
#include "core/Errors.h"
#include "core/FileService.h"
#include "tests/support/TestFiles.h"
#include "transfer/rules/TransferRun.h"

#include <QTemporaryDir>

#include <sys/stat.h>

using namespace pomiv;
using namespace pomiv::test;

static struct stat statOf(const QString &path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

// A run of x.jpg (private) and y.gif (empty, open to all): what is set up, the
// prefix and number typed, the new names of the copies made, the error that
// ends the run.
struct Row {
    QString setup, prefix, number;
    QStringList copies;
    Error err = Ok;
};

class TransferRunTest : public QObject {
    Q_OBJECT

private slots:
    void run_data() {
        QTest::addColumn<Row>("r");
        const QStringList two = {"A1.jpg", "A2.gif"}, one = {"A1.jpg"};
        const auto row = [](const char *name, const Row &r) { QTest::newRow(name) << r; };
        row("from 1", {"", "A", "1", two});
        row("leading zeros", {"", "A", "007", {"A7.jpg", "A8.gif"}});
        row("through zero", {"", "A", "-1", {"A-1.jpg", "A0.gif"}});
        row("sign, blanks", {"", "A", " +5\t", {"A5.jpg", "A6.gif"}});
        row("15 digits",
            {"", "A", "999999999999998", {"A999999999999998.jpg", "A999999999999999.gif"}});
        row("destination at a root", {"root", "A", "1", two});
        row("across file systems", {"shm", "A", "1", two});
        // Another copy of the program starting removes what it takes for
        // leftovers, the settings file put aside too.
        row("another copy of the program starts", {"taken", "A", "1", two});
        row("clash", {"clash", "A", "1", one, FileAlreadyExists});
        row("clash with a link", {"link", "A", "1", one, FileAlreadyExists});
        row("name gone, new name taken", {"gone clash", "A", "1", one, FileAlreadyExists});
        row("name gone", {"gone", "A", "1", one, GeneralFailure});
        row("name of a folder", {"folder", "A", "1", one, GeneralFailure});
        row("copy fails", {"copy", "A", "1", one, GeneralFailure});
        row("settings not writable", {"settings", "A", "1", one, GeneralFailure});
        row("no destination folder", {"dest", "A", "1", {}, PathNotFound});
        for (const char *number : {"abc", "  ", "1.5", "1000000000000000", ""})
            row(qPrintable("number '" + QString(number) + "'"),
                {"", "A", number, {}, TypeMismatch});
        row("separator in the prefix", {"", "../A", "1", {}, TypeMismatch});
    }

    void run() {
        QFETCH(Row, r);
        QTemporaryDir dir, shm("/dev/shm/pomiv-XXXXXX");
        const QString src = r.setup == "shm" ? shm.path() : dir.filePath("src");
        const QString dst = dir.filePath("dst"), app = dir.filePath("app/");
        writeFile(src + "/x.jpg", "xxxx");
        writeFile(src + "/y.gif", "");
        writeFile(app + "pmvf2.ini", QByteArray(300, 'o'));
        for (const auto &[path, mode] :
             {std::pair{src + "/x.jpg", 0600}, {src + "/y.gif", 0666}, {app + "pmvf2.ini", 0640}})
            ::chmod(QFile::encodeName(path).constData(), mode);
        QDir().mkpath(dst);
        if (r.setup.contains("clash"))
            writeFile(dst + "/A2.gif", "old");
        if (r.setup == "link")
            QVERIFY(QFile::link(dst + "/nothing", dst + "/A2.gif"));
        if (r.setup.startsWith("gone") || r.setup == "folder")
            QVERIFY(QFile::remove(src + "/y.gif") &&
                    (r.setup != "folder" || QDir().mkdir(src + "/y.gif")));
        const QString dest = r.setup == "root" ? dst + '/' : r.setup == "dest" ? dst + "x" : dst;
        const TransferJob job{{"x.jpg", "y.gif"},
                              src,
                              {"/m", dest, r.prefix, r.number},
                              r.setup == "settings" ? dir.filePath("gone/") : app};

        // The progress is set before each copy, the copy reported after it;
        // each write of the settings file puts a new file in place.
        QStringList events;
        QList<ino_t> settingsFiles;
        TransferRun run;
        run.starting = [&](int k) { events << QString::number(k); };
        run.copied = [&](const CopiedFile &f) {
            events << QString::number(f.index) + ':' + f.name + '>' + f.number;
        };
        FileService::setCopyFaultForTests([&](const QString &from, const QString &to) {
            events << QFileInfo(from).fileName() + '>' + to.mid(dir.path().size());
            settingsFiles << statOf(app + "pmvf2.ini").st_ino;
            if (r.setup == "taken")
                removeStaleTemporaries(app, {"pmvf2.ini"});
            return r.setup == "copy" && from.endsWith("y.gif") ? GeneralFailure : Ok;
        });
        const TransferResult result = run.run(job);
        FileService::setCopyFaultForTests(nullptr);
        QCOMPARE(result.err, r.err);
        QCOMPARE(result.copied, r.copies.size());
        QStringList expected;
        QString number = r.number;
        for (int k = 0; k < r.copies.size(); ++k) {
            number = QString::number(r.copies[k].section('.', 0, 0).mid(1).toLongLong() + 1);
            expected << QString::number(k) << job.names[k] + ">/dst/" + r.copies[k]
                     << QString::number(k) + ':' + r.copies[k] + '>' + number;
        }
        if (r.err != Ok && r.setup != "settings")
            expected << QString::number(r.copies.size());
        if (r.setup == "copy")
            expected << "y.gif>/dst/A2.gif";
        QCOMPARE(events, expected);

        // The copies hold their sources' bytes and permissions; nothing is
        // replaced.
        for (int i = 0; i < r.copies.size(); ++i) {
            QCOMPARE(readFile(dst + '/' + r.copies[i]), QByteArray(i ? "" : "xxxx"));
            QCOMPARE(statOf(dst + '/' + r.copies[i]).st_mode & 0777, i ? 0666u : 0600u);
        }
        const bool clash = r.setup.contains("clash");
        QCOMPARE(filesIn(dst), r.copies + (clash ? QStringList{"A2.gif"} : QStringList()));
        QCOMPARE(readFile(dst + "/A2.gif"), QByteArray(clash ? "old" : ""));

        // The number reached is stored after every copy, with the folders, in
        // a file that keeps its permissions, with nothing left beside it; no
        // folder is made for it.
        const bool stored = !r.copies.isEmpty() && r.setup != "settings";
        QCOMPARE(readFile(app + "pmvf2.ini"),
                 stored ? formatSettingsLine({"/m", dest, r.prefix, number}).toUtf8()
                        : QByteArray(300, 'o'));
        QCOMPARE(statOf(app + "pmvf2.ini").st_mode & 0777, 0640u);
        QCOMPARE(filesIn(app), QStringList{"pmvf2.ini"});
        QVERIFY(!QFileInfo::exists(dir.filePath("gone")));
        settingsFiles << statOf(app + "pmvf2.ini").st_ino;
        for (int i = 1; stored && i <= r.copies.size(); ++i)
            QVERIFY(settingsFiles[i] != settingsFiles[i - 1]);
    }
};

QTEST_GUILESS_MAIN(TransferRunTest)
#include "tst_transferrun.moc"
