#include "platform/Errors.h"
#include "tests/support/TestSupport.h"
#include "tests/viewer/SampleFiles.h"
#include "viewer/PictureCache.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace pomiv;
using namespace pomiv::test;

class PictureCacheTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void neighboursAreReadyBeforeTheStep();
    void neverMoreThanThreeHeld();
    void changedOrDeletedFileIsDecodedAgain();
    void replacedFileOfTheSameSizeAndTimeIsDecodedAgain();
    void invalidPictureIsRememberedToo();

private:
    QString file(int n) const {
        return QDir(m_dir->path()).filePath(QStringLiteral("f%1.bmp").arg(n));
    }
    // The neighbours of n in a ring of `count` files, next first.
    QStringList ahead(int n, int count) const {
        return {file((n + 1) % count), file((n + count - 1) % count)};
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void PictureCacheTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    for (int n = 0; n < 8; ++n)
        writeFile(file(n), bmpBytes(QSize(10 + n, 10), Qt::red));
}

void PictureCacheTest::neighboursAreReadyBeforeTheStep() {
    PictureCache cache;
    Picture picture;
    QCOMPARE(cache.take(file(0), ahead(0, 8), &picture), int(Ok));
    QCOMPARE(picture.image.width(), 10);
    cache.waitUntilIdle();
    QCOMPARE(cache.counts().decodedAhead, 2);
    QCOMPARE(cache.held(), 3);

    // Forward and back again: every step is served from a copy.
    for (int n : {1, 2, 1, 0, 7}) {
        QCOMPARE(cache.take(file(n), ahead(n, 8), &picture), int(Ok));
        QCOMPARE(picture.image.width(), 10 + n);
        cache.waitUntilIdle();
    }
    QCOMPARE(cache.counts().decodedNow, 1);
    QCOMPARE(cache.counts().fromCopy, 5);
}

void PictureCacheTest::neverMoreThanThreeHeld() {
    // A large picture being decoded ahead while the viewer jumps elsewhere.
    writeFile(file(1), bmpBytes(QSize(3000, 2000), Qt::blue));
    PictureCache cache;
    Picture picture;
    QCOMPARE(cache.take(file(0), ahead(0, 8), &picture), int(Ok));
    QVERIFY(cache.held() <= 3);
    for (int n : {5, 6, 2, 3, 1, 0, 4, 1}) {
        QCOMPARE(cache.take(file(n), ahead(n, 8), &picture), int(Ok));
        QVERIFY2(cache.held() <= 3, qPrintable(QString::number(cache.held())));
    }
    cache.waitUntilIdle();
    QCOMPARE(cache.held(), 3);
}

void PictureCacheTest::changedOrDeletedFileIsDecodedAgain() {
    PictureCache cache;
    Picture picture;
    cache.take(file(0), ahead(0, 8), &picture);
    cache.waitUntilIdle();

    writeFile(file(1), bmpBytes(QSize(44, 33), Qt::green));
    QCOMPARE(cache.take(file(1), ahead(1, 8), &picture), int(Ok));
    QCOMPARE(picture.image.size(), QSize(44, 33));
    cache.waitUntilIdle();

    QVERIFY(QFile::remove(file(2)));
    QCOMPARE(cache.take(file(2), ahead(2, 8), &picture), int(FileNotFound));
    QVERIFY(picture.isNull());
    QCOMPARE(cache.counts().fromCopy, 0);
}

void PictureCacheTest::replacedFileOfTheSameSizeAndTimeIsDecodedAgain() {
    PictureCache cache;
    Picture picture;
    cache.take(file(0), ahead(0, 8), &picture);
    cache.waitUntilIdle();

    // Another file of the same length and time put in its place.
    const QString other = file(1) + ".new";
    writeFile(other, bmpBytes(QSize(11, 10), Qt::yellow));
    QFile old(file(1));
    QVERIFY(old.open(QIODevice::ReadOnly));
    const QDateTime time = old.fileTime(QFileDevice::FileModificationTime);
    old.close();
    QFile replacement(other);
    QVERIFY(replacement.open(QIODevice::ReadWrite));
    QVERIFY(replacement.setFileTime(time, QFileDevice::FileModificationTime));
    replacement.close();
    QVERIFY(QFile::remove(file(1)));
    QVERIFY(QFile::rename(other, file(1)));

    QCOMPARE(cache.take(file(1), ahead(1, 8), &picture), int(Ok));
    QCOMPARE(picture.image.pixelColor(0, 0), QColor(Qt::yellow));
}

void PictureCacheTest::invalidPictureIsRememberedToo() {
    writeFile(file(1), "not a picture");
    PictureCache cache;
    Picture picture;
    cache.take(file(0), ahead(0, 8), &picture);
    cache.waitUntilIdle();
    QCOMPARE(cache.take(file(1), ahead(1, 8), &picture), int(InvalidPicture));
    QCOMPARE(cache.counts().fromCopy, 1);
    // It holds no picture; its neighbours are held, one of them still on
    // screen.
    cache.waitUntilIdle();
    QCOMPARE(cache.held(), 2);
    QCOMPARE(cache.take(file(2), ahead(2, 8), &picture), int(Ok));
    QCOMPARE(cache.counts().fromCopy, 2);
}

QTEST_MAIN(PictureCacheTest)
#include "tst_picturecache.moc"
