#include "platform/Errors.h"
#include "platform/PictureDecoder.h"
#include "tests/support/TestSupport.h"
#include "tests/viewer/SampleFiles.h"
#include "viewer/PictureCache.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace pomiv;
using namespace pomiv::test;

class PicturesTest : public QObject {
    Q_OBJECT

private slots:
    void decodesAtItsOwnSize_data();
    void decodesAtItsOwnSize();
    void notAPicture_data();
    void notAPicture();
    void missingFileIsNotAnInvalidPicture();
    void decodedAheadAndNoMoreThanThreeHeld();

private:
    QTemporaryDir m_dir;
    QString write(const QString &name, const QByteArray &bytes) {
        writeFile(m_dir.filePath(name), bytes);
        return m_dir.filePath(name);
    }
};

void PicturesTest::decodesAtItsOwnSize_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QColor>("colour");
    auto row = [](const char *tag, const char *name, const QByteArray &bytes, QSize size,
                  QColor colour) { QTest::newRow(tag) << name << bytes << size << colour; };

    // One file of each type the viewer lists.
    const QColor red(220, 20, 20), green(20, 200, 40), blue(30, 40, 210);
    row("jpg", "a.jpg", jpegBytes({64, 48}, red), {64, 48}, red);
    row("bmp", "b.bmp", bmpBytes({33, 17}, green), {33, 17}, green);
    row("dib with file header", "c.dib", bmpBytes({21, 30}, blue), {21, 30}, blue);
    row("dib without file header", "d.dib", bmpBytes({19, 7}, red).mid(14), {19, 7}, red);
    row("gif", "e.gif", gifBytes({12, 9}, {green}), {12, 9}, green);
    // libwmf names its colours from the SVG colour table: pure blue stays blue.
    row("wmf", "f.wmf", wmfBytes({96, 48}, Qt::blue), {96, 48}, Qt::blue);
    row("emf", "g.emf", emfBytes({48, 72}, green), {48, 72}, green);
    row("ico", "h.ico", sample("ICO", {32, 32}, red), {32, 32}, red);
    row("cur", "i.cur", curBytes({16, 16}, blue), {16, 16}, blue);
    // The reader is picked from the bytes, not the name.
    row("emf named bmp", "l.bmp", emfBytes({24, 24}, red), {24, 24}, red);
    // Orientation 6: the camera was turned a quarter to the right.
    row("jpeg turned", "m.jpg", jpegBytes({40, 20}, blue, 6), {20, 40}, blue);
    // An animated GIF starts on its first frame and keeps its bytes to play.
    row("animated gif", "n.gif", gifBytes({6, 4}, {red, green, blue}), {6, 4}, red);
}

void PicturesTest::decodesAtItsOwnSize() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QFETCH(QColor, colour);

    Picture picture;
    QCOMPARE(decodePicture(write(name, bytes), &picture), int(Ok));
    QCOMPARE(picture.image.size(), size);
    const QColor middle = picture.image.pixelColor(size.width() / 2, size.height() / 2);
    QVERIFY2(qAbs(middle.red() - colour.red()) <= 12 &&
                 qAbs(middle.green() - colour.green()) <= 12 &&
                 qAbs(middle.blue() - colour.blue()) <= 12,
             qPrintable(middle.name() + " " + colour.name()));
    const bool animated = QTest::currentDataTag() == QByteArray("animated gif");
    QCOMPARE(picture.animation, animated ? bytes : QByteArray());
}

void PicturesTest::notAPicture_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("text") << QByteArray("Some notes, not a picture.\r\n");
    QTest::newRow("empty") << QByteArray();
    // Types Qt reads that the program does not offer.
    QTest::newRow("png") << sample("PNG", {8, 8}, Qt::red);
    QTest::newRow("svg") << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='4' "
                                       "height='4'/>");
    // Broken files that carry a signature.
    const QByteArray emf = emfBytes({20, 20}, Qt::red);
    QTest::newRow("jpeg cut after its start") << jpegBytes({20, 20}, Qt::red).left(4);
    QTest::newRow("bmp header only") << bmpBytes({20, 20}, Qt::red).left(20);
    QTest::newRow("wmf header only") << wmfBytes({20, 20}, Qt::red).left(22 + 18);
    QTest::newRow("emf header only") << emf.left(108);
    QTest::newRow("emf header, garbage after") << emf.left(108) + QByteArray(64, '\xff');
    QTest::newRow("emf without its end record") << emf.chopped(20);
    // Damaged so that trusting its offsets would read past the end.
    auto patched = [&](std::initializer_list<std::pair<int, char>> bytes) {
        QByteArray b = emf;
        for (auto [at, value] : bytes)
            b[at] = value;
        return b;
    };
    QTest::newRow("emf description past its header") // 1000 characters right after the header
        << patched({{60, '\xe8'}, {61, '\x03'}, {64, 88}});
    QTest::newRow("emf record running past the end") << patched({{112, '\x40'}});
    QTest::newRow("emf of absurd size") << patched({{34, '\x7f'}, {35, '\x7f'}});
}

void PicturesTest::notAPicture() {
    QFETCH(QByteArray, bytes);
    Picture picture;
    QCOMPARE(decodePicture(write("x.dat", bytes), &picture), int(InvalidPicture));
    QVERIFY(picture.isNull());
    QCOMPARE(decodePictureData(bytes, &picture), int(InvalidPicture));
}

void PicturesTest::missingFileIsNotAnInvalidPicture() {
    Picture picture;
    QCOMPARE(decodePicture(m_dir.filePath("gone.jpg"), &picture), int(FileNotFound));
    QDir(m_dir.path()).mkdir("folder.jpg");
    QCOMPARE(decodePicture(m_dir.filePath("folder.jpg"), &picture), int(FileNotFound));
}

void PicturesTest::decodedAheadAndNoMoreThanThreeHeld() {
    // Files f0 .. f7 in a ring, 10+n pixels wide but f4 large.
    auto ring = [&](int n) { return m_dir.filePath(QStringLiteral("f%1.bmp").arg(n)); };
    for (int n = 0; n < 8; ++n)
        writeFile(ring(n), bmpBytes(n == 4 ? QSize(3000, 2000) : QSize(10 + n, 10), Qt::red));
    PictureCache cache;
    Picture picture;
    auto take = [&](int n) {
        return cache.take(ring(n), {ring((n + 1) % 8), ring((n + 7) % 8)}, &picture);
    };
    QCOMPARE(take(0), int(Ok));
    cache.waitUntilIdle();
    QCOMPARE(cache.held(), 3); // the one shown and both neighbours
    // Forward and back again: served from the copies.
    for (int n : {1, 0, 7}) {
        QCOMPARE(take(n), int(Ok));
        QCOMPARE(picture.image.width(), 10 + n);
        cache.waitUntilIdle();
    }
    QCOMPARE(cache.counts().fromCopy, 3);
    // Jumps while the large one is decoded ahead.
    for (int n : {5, 6, 2, 3, 1, 0, 4, 1}) {
        QCOMPARE(take(n), int(Ok));
        QVERIFY2(cache.held() <= 3, qPrintable(QString::number(cache.held())));
    }
    cache.waitUntilIdle();
    QCOMPARE(cache.held(), 3);
}

QTEST_MAIN(PicturesTest)
#include "tst_pictures.moc"
