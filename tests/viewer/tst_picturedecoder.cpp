#include "platform/Errors.h"
#include "platform/PictureDecoder.h"
#include "tests/support/TestSupport.h"
#include "tests/viewer/SampleFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace pomiv;
using namespace pomiv::test;

namespace {

bool near(QColor a, QColor b, int tolerance) {
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}

} // namespace

class PictureDecoderTest : public QObject {
    Q_OBJECT

private slots:
    void everyFilterTypeAtItsOwnSize_data();
    void everyFilterTypeAtItsOwnSize();
    void formatComesFromTheContent();
    void notAPicture_data();
    void notAPicture();
    void missingFileIsNotAnInvalidPicture();
    void jpegOrientationIsApplied();
    void gifFramesAreKeptForPlaying();

private:
    QTemporaryDir m_dir;
    QString write(const QString &name, const QByteArray &bytes) {
        const QString path = QDir(m_dir.path()).filePath(name);
        writeFile(path, bytes);
        return path;
    }
};

void PictureDecoderTest::everyFilterTypeAtItsOwnSize_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<int>("tolerance");

    const QColor red(220, 20, 20), green(20, 200, 40), blue(30, 40, 210);
    QTest::newRow("jpg") << "a.jpg" << jpegBytes({64, 48}, red) << QSize(64, 48) << red << 12;
    QTest::newRow("bmp") << "b.bmp" << bmpBytes({33, 17}, green) << QSize(33, 17) << green << 0;
    QTest::newRow("dib with file header")
        << "c.dib" << bmpBytes({21, 30}, blue) << QSize(21, 30) << blue << 0;
    QTest::newRow("dib without file header")
        << "d.dib" << packedDibBytes({19, 7}, red) << QSize(19, 7) << red << 0;
    QTest::newRow("gif") << "e.gif" << gifBytes({12, 9}, {{green, 10}}) << QSize(12, 9) << green
                         << 0;
    // libwmf names its colours from the SVG colour table, so a metafile's
    // colour comes out as the nearest named one: pure blue stays blue.
    QTest::newRow("wmf") << "f.wmf" << wmfBytes({96, 48}, Qt::blue) << QSize(96, 48)
                         << QColor(Qt::blue) << 0;
    QTest::newRow("emf") << "g.emf" << emfBytes({48, 72}, green) << QSize(48, 72) << green << 0;
    QTest::newRow("ico") << "h.ico" << icoBytes({32, 32}, red) << QSize(32, 32) << red << 0;
    QTest::newRow("cur") << "i.cur" << curBytes({16, 16}, blue) << QSize(16, 16) << blue << 0;
}

void PictureDecoderTest::everyFilterTypeAtItsOwnSize() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QFETCH(QColor, colour);
    QFETCH(int, tolerance);

    Picture picture;
    QCOMPARE(decodePicture(write(name, bytes), &picture), int(Ok));
    QCOMPARE(picture.image.size(), size);
    const QColor middle = picture.image.pixelColor(size.width() / 2, size.height() / 2);
    QVERIFY2(near(middle, colour, tolerance), qPrintable(middle.name() + " " + colour.name()));
    QVERIFY(picture.animation.isEmpty());
}

void PictureDecoderTest::formatComesFromTheContent() {
    // Renamed files still open: the reader is picked from the bytes.
    Picture picture;
    QCOMPARE(decodePicture(write("bitmap.jpg", bmpBytes({10, 11}, Qt::red)), &picture), int(Ok));
    QCOMPARE(picture.image.size(), QSize(10, 11));
    QCOMPARE(decodePicture(write("photo.gif", jpegBytes({13, 5}, Qt::red)), &picture), int(Ok));
    QCOMPARE(picture.image.size(), QSize(13, 5));
    QCOMPARE(decodePicture(write("drawing.bmp", emfBytes({24, 24}, Qt::red)), &picture), int(Ok));
    QCOMPARE(picture.image.size(), QSize(24, 24));
}

void PictureDecoderTest::notAPicture_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("text") << QByteArray("Some notes, not a picture.\r\n");
    QTest::newRow("empty") << QByteArray();
    // A picture type the program does not offer.
    QTest::newRow("png") << pngBytes({8, 8}, Qt::red);
    // Readers Qt has that the program does not offer.
    QTest::newRow("pbm text") << QByteArray("P1\n2 2\n0 1\n1 0\n");
    QTest::newRow("svg") << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='4' "
                                       "height='4'/>");
    // Broken files that carry a signature.
    QTest::newRow("jpeg cut after its start") << jpegBytes({20, 20}, Qt::red).left(4);
    QTest::newRow("bmp header only") << bmpBytes({20, 20}, Qt::red).left(20);
    QTest::newRow("emf header only") << emfBytes({20, 20}, Qt::red).left(108);
    QTest::newRow("emf header, garbage after")
        << emfBytes({20, 20}, Qt::red).left(108) + QByteArray(64, '\xff');
    QTest::newRow("emf description past its header") << [] {
        QByteArray b = emfBytes({20, 20}, Qt::red);
        b[60] = '\xe8'; // 1000 characters
        b[61] = '\x03';
        b[64] = 88; // right after the header's fixed part
        return b;
    }();
    QTest::newRow("emf record running past the end") << [] {
        QByteArray b = emfBytes({20, 20}, Qt::red);
        b[108 + 4] = '\x40'; // the brush record claims 0x4018 bytes
        return b;
    }();
    QTest::newRow("emf without its end record") << emfBytes({20, 20}, Qt::red).chopped(20);
    QTest::newRow("wmf header only") << wmfBytes({20, 20}, Qt::red).left(22 + 18);
    QTest::newRow("emf of absurd size") << [] {
        QByteArray b = emfBytes({20, 20}, Qt::red);
        b[34] = '\x7f'; // frame right edge about 2^30
        b[35] = '\x7f';
        return b;
    }();
}

void PictureDecoderTest::notAPicture() {
    QFETCH(QByteArray, bytes);
    Picture picture;
    QCOMPARE(decodePicture(write("x.dat", bytes), &picture), int(InvalidPicture));
    QVERIFY(picture.isNull());
    QCOMPARE(decodePictureData(bytes, &picture), int(InvalidPicture));
}

void PictureDecoderTest::missingFileIsNotAnInvalidPicture() {
    Picture picture;
    QCOMPARE(decodePicture(QDir(m_dir.path()).filePath("gone.jpg"), &picture), int(FileNotFound));
    QDir(m_dir.path()).mkdir("folder.jpg");
    QCOMPARE(decodePicture(QDir(m_dir.path()).filePath("folder.jpg"), &picture), int(FileNotFound));
}

void PictureDecoderTest::jpegOrientationIsApplied() {
    // 6: the camera was turned a quarter to the right; shown upright the
    // picture is taller than wide.
    Picture picture;
    QCOMPARE(decodePicture(write("turned.jpg", jpegBytes({40, 20}, Qt::blue, 6)), &picture),
             int(Ok));
    QCOMPARE(picture.image.size(), QSize(20, 40));
    QCOMPARE(decodePicture(write("upright.jpg", jpegBytes({40, 20}, Qt::blue, 1)), &picture),
             int(Ok));
    QCOMPARE(picture.image.size(), QSize(40, 20));
}

void PictureDecoderTest::gifFramesAreKeptForPlaying() {
    const QByteArray animated = gifBytes({6, 4}, {{Qt::red, 10}, {Qt::green, 20}, {Qt::blue, 30}});
    Picture picture;
    QCOMPARE(decodePicture(write("moving.gif", animated), &picture), int(Ok));
    QCOMPARE(picture.image.size(), QSize(6, 4));
    QCOMPARE(picture.image.pixelColor(0, 0), QColor(Qt::red)); // the first frame
    QCOMPARE(picture.animation, animated);
}

QTEST_MAIN(PictureDecoderTest)
#include "tst_picturedecoder.moc"
