#include "platform/Errors.h"
#include "tests/support/TestSupport.h"
#include "tests/viewer/SampleFiles.h"
#include "viewer/PictureCache.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace pomiv;
using namespace pomiv::test;

class PictureCacheTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void neighboursAreDecodedAheadAndNoMoreThanThreeHeld();
    void changedReplacedOrDeletedFileIsDecodedAgain();
    void invalidPictureIsRememberedToo();

private:
    // Files f0 .. f7 in a ring, 10+n pixels wide; f4 is large.
    QString file(int n) const { return m_dir->filePath(QStringLiteral("f%1.bmp").arg(n)); }
    // Takes file n with its neighbours to decode next.
    int take(int n, Picture *picture) {
        return m_cache->take(file(n), {file((n + 1) % 8), file((n + 7) % 8)}, picture);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PictureCache> m_cache;
    Picture m_picture;
};

void PictureCacheTest::init() {
    m_cache.reset();
    m_dir = std::make_unique<QTemporaryDir>();
    for (int n = 0; n < 8; ++n)
        writeFile(file(n), bmpBytes(n == 4 ? QSize(3000, 2000) : QSize(10 + n, 10), Qt::red));
    m_cache = std::make_unique<PictureCache>();
    QCOMPARE(take(0, &m_picture), int(Ok));
    m_cache->waitUntilIdle();
}

void PictureCacheTest::neighboursAreDecodedAheadAndNoMoreThanThreeHeld() {
    QCOMPARE(m_cache->counts().decodedAhead, 2);
    QCOMPARE(m_cache->held(), 3);
    // Forward and back again: every step is served from a copy.
    for (int n : {1, 2, 1, 0, 7}) {
        QCOMPARE(take(n, &m_picture), int(Ok));
        QCOMPARE(m_picture.image.width(), 10 + n);
        m_cache->waitUntilIdle();
    }
    QCOMPARE(m_cache->counts().decodedNow, 1);
    QCOMPARE(m_cache->counts().fromCopy, 5);

    // Jumps while the large one is decoded ahead.
    for (int n : {5, 6, 2, 3, 1, 0, 4, 1}) {
        QCOMPARE(take(n, &m_picture), int(Ok));
        QVERIFY2(m_cache->held() <= 3, qPrintable(QString::number(m_cache->held())));
    }
    m_cache->waitUntilIdle();
    QCOMPARE(m_cache->held(), 3);
}

void PictureCacheTest::changedReplacedOrDeletedFileIsDecodedAgain() {
    // Rewritten in place.
    writeFile(file(1), bmpBytes(QSize(44, 33), Qt::green));
    QCOMPARE(take(1, &m_picture), int(Ok));
    QCOMPARE(m_picture.image.size(), QSize(44, 33));
    m_cache->waitUntilIdle();

    // Another file of the same length and time put in its place.
    const QString other = file(2) + ".new";
    writeFile(other, bmpBytes(QSize(12, 10), Qt::yellow));
    QFile replacement(other);
    QVERIFY(replacement.open(QIODevice::ReadWrite));
    QVERIFY(replacement.setFileTime(QFileInfo(file(2)).lastModified(),
                                    QFileDevice::FileModificationTime));
    replacement.close();
    QVERIFY(QFile::remove(file(2)) && QFile::rename(other, file(2)));
    QCOMPARE(take(2, &m_picture), int(Ok));
    QCOMPARE(m_picture.image.pixelColor(0, 0), QColor(Qt::yellow));
    m_cache->waitUntilIdle();

    QVERIFY(QFile::remove(file(3)));
    QCOMPARE(take(3, &m_picture), int(FileNotFound));
    QVERIFY(m_picture.isNull());
    QCOMPARE(m_cache->counts().fromCopy, 0);
}

void PictureCacheTest::invalidPictureIsRememberedToo() {
    // Written after f1 was decoded ahead: decoded again, then served from
    // the copy like a picture.
    writeFile(file(1), "not a picture");
    QCOMPARE(take(1, &m_picture), int(InvalidPicture));
    m_cache->waitUntilIdle();
    QCOMPARE(take(0, &m_picture), int(Ok));
    m_cache->waitUntilIdle();
    QCOMPARE(take(1, &m_picture), int(InvalidPicture));
    QCOMPARE(m_cache->counts().fromCopy, 2);
}

QTEST_MAIN(PictureCacheTest)
#include "tst_picturecache.moc"
