#include "pictures/PictureDecoder.h"

#include "core/Errors.h"
#include "pictures/Metafile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTransform>
#include <QtEndian>

#include <mutex>

namespace pomiv {

namespace {

using namespace metafile;

// A helper that has not answered by then is stopped: a file that sends the
// converter round in circles costs no more than this.
constexpr int helperMilliseconds = 5000;

QString &helperPath() {
    static QString path;
    return path;
}

// Little-endian fields; 0 past the end.
quint32 le32(const QByteArray &bytes, qsizetype at) {
    if (at < 0 || at + 4 > bytes.size())
        return 0;
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

quint16 le16(const QByteArray &bytes, qsizetype at) {
    if (at < 0 || at + 2 > bytes.size())
        return 0;
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

void allowLargePictures() {
    static std::once_flag once;
    // Qt's own limit (128 MB) would turn down an ordinary 48-megapixel
    // camera's picture; the budget is checked before Qt is asked.
    std::call_once(once, [] {
        QImageReader::setAllocationLimit(int(largestPicturePixels * 4 / (1024 * 1024)) + 1);
    });
}

// Reads exactly length bytes of the helper's answer before the deadline.
bool readReply(QProcess &helper, char *into, qint64 length, const QDeadlineTimer &deadline) {
    while (length > 0) {
        const qint64 n = helper.read(into, length);
        if (n < 0)
            return false;
        into += n, length -= n;
        if (length > 0 &&
            (deadline.hasExpired() ||
             !helper.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))))
            return false;
    }
    return true;
}

// Converts a metafile in the helper process. Whatever goes wrong there (a
// crash, a limit reached, no answer in time, an answer that is not a
// picture) makes the file one that is not read here.
Error convertInHelper(const QByteArray &bytes, QImage *out) {
    const QDeadlineTimer deadline(helperMilliseconds);
    QProcess helper;
    helper.setStandardErrorFile(QProcess::nullDevice());
    helper.start(metafileHelper(), {}, QIODevice::ReadWrite | QIODevice::Unbuffered);
    if (!helper.waitForStarted(int(deadline.remainingTime())))
        return InvalidPicture;
    helper.write(bytes);
    helper.closeWriteChannel();

    QByteArray header(replyHeaderBytes, Qt::Uninitialized);
    QImage image;
    if (readReply(helper, header.data(), header.size(), deadline)) {
        const QSize size = sizeOfReply(header);
        if (!size.isEmpty())
            image = QImage(size, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; !image.isNull() && y < image.height(); ++y) {
            if (!readReply(helper, reinterpret_cast<char *>(image.scanLine(y)),
                           qint64(size.width()) * 4, deadline))
                image = QImage();
        }
    }
    // Anything after the pixels makes the answer malformed; a helper that
    // goes on writing finds the pipe closed.
    if (image.isNull() || helper.bytesAvailable() > 0)
        return InvalidPicture;
    helper.closeReadChannel(QProcess::StandardOutput);
    if (!helper.waitForFinished(int(qMax<qint64>(1, deadline.remainingTime()))) ||
        helper.exitStatus() != QProcess::NormalExit || helper.exitCode() != 0)
        return InvalidPicture;
    *out = image;
    return Ok;
}

// The size a metafile declares, where the program can tell it before the
// converter runs, is checked against the budget; a Windows metafile's records
// are checked first, because its converter checks nothing itself.
Error decodeMetafile(const QByteArray &bytes, QImage *out) {
    if (isEmf(bytes)) {
        const QSize size = emfSize(bytes);
        if (!withinBudget(size.width(), size.height()))
            return InvalidPicture;
    } else {
        const QSize size = wmfPlaceableSize(bytes);
        if (!wmfRecordsSound(bytes) ||
            (!size.isEmpty() && !withinBudget(size.width(), size.height())))
            return InvalidPicture;
    }
    return convertInHelper(bytes, out);
}

// The formats of Qt's readers that this program shows.
bool shownFormat(const QByteArray &format) {
    static const QByteArray formats[] = {"jpeg", "jpg", "bmp", "dib", "gif", "ico", "cur"};
    for (const QByteArray &f : formats) {
        if (format == f)
            return true;
    }
    return false;
}

// Paints fast: 32-bit pixels, with alpha only where the picture has it.
QImage forDisplay(const QImage &image) {
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return image;
    default:
        return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                             : QImage::Format_RGB32);
    }
}

// A bitmap's information header without the file header before it (a packed
// DIB): it has no signature, so its header fields are checked instead.
bool looksLikeDib(const QByteArray &head) {
    if (head.size() < 16)
        return false;
    const quint32 headerSize = le32(head, 0);
    if (headerSize == 12)
        return le16(head, 8) == 1 && QList<quint16>{1, 4, 8, 24}.contains(le16(head, 10));
    if (!QList<quint32>{40, 52, 56, 64, 108, 124}.contains(headerSize))
        return false;
    return le16(head, 12) == 1 && QList<quint16>{0, 1, 4, 8, 16, 24, 32}.contains(le16(head, 14));
}

// The rectangle of the file's own pixels that turns into `shown` once the
// orientation is applied: Qt mirrors and flips first, then turns a quarter
// to the right.
QRect unturned(const QRect &shown, QImageIOHandler::Transformations turn, QSize stored) {
    QTransform t;
    if (turn & QImageIOHandler::TransformationMirror)
        t *= QTransform(-1, 0, 0, 1, stored.width(), 0);
    if (turn & QImageIOHandler::TransformationFlip)
        t *= QTransform(1, 0, 0, -1, 0, stored.height());
    if (turn & QImageIOHandler::TransformationRotate90)
        t *= QTransform(0, 1, -1, 0, stored.height(), 0);
    return t.inverted().mapRect(QRectF(shown)).toAlignedRect() & QRect(QPoint(), stored);
}

Error readAllOf(QIODevice *device, QByteArray *bytes) {
    *bytes = device->readAll();
    if (auto *file = qobject_cast<QFileDevice *>(device); file && file->error() != QFile::NoError)
        return GeneralFailure;
    return Ok;
}

// Only the start of the file decides whether it is read at all, so that a
// large file of another kind under "*.*" costs nothing.
Error decodeDevice(QIODevice *device, Picture *picture, const PartOf &part) {
    *picture = Picture();
    allowLargePictures();
    const QByteArray head = device->peek(512);
    if (isEmf(head) || isWmf(head)) {
        if (device->size() > largestMetafileBytes)
            return InvalidPicture;
        QByteArray bytes;
        if (const Error err = readAllOf(device, &bytes); failed(err))
            return err;
        const Error err = decodeMetafile(bytes, &picture->image);
        picture->size = picture->image.size();
        return err;
    }
    // The reader is chosen from the bytes alone, never from the file's name.
    QByteArray headCopy = head;
    QBuffer headBuffer(&headCopy);
    headBuffer.open(QIODevice::ReadOnly);
    QByteArray format = QImageReader::imageFormat(&headBuffer);
    if (format.isEmpty() && looksLikeDib(head))
        format = "dib";
    if (!shownFormat(format))
        return InvalidPicture;

    // An animation is played from the file's bytes, so those are kept.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (format == "gif") {
        if (const Error err = readAllOf(device, &bytes); failed(err))
            return err;
        buffer.open(QIODevice::ReadOnly);
        device = &buffer;
    }
    QImageReader reader(device, format);
    reader.setAutoTransform(true);
    // The size the header declares, before a pixel is decoded: a few bytes
    // can claim a picture of gigabytes.
    const QSize declared = reader.size();
    if (declared.isValid() && !withinBudget(declared.width(), declared.height()))
        return InvalidPicture;
    // Only the part asked for, where the reader decodes a part alone; the
    // part is asked for in the turned picture, the reader wants the file's.
    QRect clip;
    QSize whole;
    if (part && declared.isValid() && reader.supportsOption(QImageIOHandler::ClipRect)) {
        const QImageIOHandler::Transformations turn = reader.transformation();
        whole = turn & QImageIOHandler::TransformationRotate90 ? declared.transposed() : declared;
        clip = part(whole) & QRect(QPoint(), whole);
        if (clip.size() == whole)
            clip = QRect();
        if (!clip.isEmpty())
            reader.setClipRect(unturned(clip, turn, declared));
    }
    const QImage image = reader.read();
    if (image.isNull())
        return reader.error() == QImageReader::DeviceError ? GeneralFailure : InvalidPicture;
    if (!clip.isEmpty() && image.size() != clip.size())
        return GeneralFailure;
    picture->image = forDisplay(image);
    picture->size = clip.isEmpty() ? image.size() : whole;
    picture->at = clip.topLeft();
    if (reader.supportsAnimation() && reader.imageCount() > 1)
        picture->animation = bytes;
    return Ok;
}

} // namespace

void setMetafileHelper(const QString &path) {
    helperPath() = path;
}

QString metafileHelper() {
    if (!helperPath().isEmpty())
        return helperPath();
    // Beside the program where it was built; in the helper folder where it
    // was installed.
    const QString beside = QStandardPaths::findExecutable(QStringLiteral("pomiv-metafile"),
                                                          {QCoreApplication::applicationDirPath()});
    return beside.isEmpty() ? QStringLiteral(POMIV_INSTALLED_HELPERDIR "/pomiv-metafile") : beside;
}

Error decodePicture(const QString &path, Picture *picture, const PartOf &part) {
    *picture = Picture();
    if (!QFileInfo(path).isFile())
        return FileNotFound;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return GeneralFailure;
    return decodeDevice(&file, picture, part);
}

} // namespace pomiv
