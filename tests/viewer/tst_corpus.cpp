// Damaged and hostile pictures of every type: none may crash or hang the
// decoder; each is a picture within the budget or refused.
#include "core/Errors.h"
#include "pictures/Metafile.h"
#include "pictures/PictureDecoder.h"
#include "tests/support/TestSupport.h"
#include "tests/viewer/SampleFiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <future>

using namespace pomiv;
using namespace pomiv::test;

namespace {

// Far beyond the metafile helper's own limit; a hang names the file.
constexpr int secondsPerFile = 20;

Error decodeInTime(const QString &path, Picture *picture) {
    auto decoded =
        std::async(std::launch::async, [path, picture] { return decodePicture(path, picture); });
    if (decoded.wait_for(std::chrono::seconds(secondsPerFile)) != std::future_status::ready)
        qFatal("no answer in %d s from %s", secondsPerFile, qPrintable(path));
    return decoded.get();
}

} // namespace

class CorpusTest : public QObject {
    Q_OBJECT

private slots:
    void shownOrRefused_data() {
        QTest::addColumn<QList<QByteArray>>("files");
        QTest::addColumn<QList<Error>>("accepted");

        // Two text metafiles in a row once aborted the program.
        QTest::newRow("text metafiles") << QList{emfTextBytes(0), emfTextBytes(0x10)} << QList{Ok};
        QTest::newRow("hostile") << hostileFiles() << QList{InvalidPicture};
        quint32 seed = 0;
        for (const auto &[type, bytes] : sampleOfEachType()) {
            ++seed;
            QTest::addRow("%s %u", type, seed)
                << mutants(bytes, 250, seed) << QList{Ok, InvalidPicture};
        }
    }

    void shownOrRefused() {
        QFETCH(QList<QByteArray>, files);
        QFETCH(QList<Error>, accepted);
        QTemporaryDir dir;
        for (int i = 0; i < files.size(); ++i) {
            const QString path = dir.filePath(QString::number(i));
            writeFile(path, files[i]);
            Picture picture;
            const Error err = decodeInTime(path, &picture);
            QVERIFY2(accepted.contains(err),
                     qPrintable(QStringLiteral("file %1: %2").arg(i).arg(int(err))));
            QCOMPARE(picture.isWhole(), err == Ok);
            QVERIFY(err != Ok ||
                    metafile::withinBudget(picture.image.width(), picture.image.height()));
        }
    }

    void failedHelperRefuses_data() {
        // Stand-ins for a metafile helper gone wrong, as shell scripts.
        QTest::addColumn<QByteArray>("script");
        QTest::newRow("crashes") << QByteArray("kill -SEGV $$");
        QTest::newRow("fails") << QByteArray("exit 3");
        QTest::newRow("answers with the file") << QByteArray("exec cat");
        QTest::newRow("too little") << QByteArray("printf 'PMVI\\2\\0\\0\\0\\1\\0\\0\\0abcd'");
        QTest::newRow("too much") << QByteArray("printf 'PMVI\\1\\0\\0\\0\\1\\0\\0\\0abcdefgh'");
        QTest::newRow("beyond the budget")
            << QByteArray("printf 'PMVI\\377\\377\\0\\0\\377\\377\\0\\0'; exec cat /dev/zero");
        QTest::newRow("hangs") << QByteArray("exec sleep 600");
        QTest::newRow("cannot be started") << QByteArray();
    }

    void failedHelperRefuses() {
        QFETCH(QByteArray, script);
        QTemporaryDir dir;
        const QString helper = dir.filePath("helper");
        if (!script.isEmpty()) {
            writeFile(helper, "#!/bin/sh\n" + script + "\n");
            QFile::setPermissions(helper, QFile::ReadOwner | QFile::ExeOwner);
        }
        const QString before = metafileHelper();
        setMetafileHelper(helper);
        writeFile(dir.filePath("a.emf"), emfBytes({10, 10}, Qt::red));
        Picture picture;
        const Error err = decodeInTime(dir.filePath("a.emf"), &picture);
        setMetafileHelper(before);
        QCOMPARE(err, InvalidPicture);
    }
};

QTEST_MAIN(CorpusTest)
#include "tst_corpus.moc"
