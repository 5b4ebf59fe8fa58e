#include "platform/PictureDecoder.h"

#include "platform/Errors.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>

#include <cmath>
#include <cstdlib>
#include <mutex>

#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>
#include <uemf_safe.h>

namespace pomiv {

namespace {

// Metafiles are drawn at 96 dots per inch, as the screen shows them.
constexpr double screenDpi = 96.0;

// Neither metafile library promises to be safe on two threads at once.
std::mutex &metafileLock() {
    static std::mutex lock;
    return lock;
}

// Little-endian fields; 0 past the end. Not inlined: GCC otherwise warns,
// wrongly, about reading past an empty array.
template <class T> [[gnu::noinline]] T little(const QByteArray &bytes, qsizetype at) {
    if (at < 0 || at + qsizetype(sizeof(T)) > bytes.size())
        return 0;
    return qFromLittleEndian<T>(bytes.constData() + at);
}

quint32 le32(const QByteArray &bytes, qsizetype at) {
    return little<quint32>(bytes, at);
}

qint32 le32s(const QByteArray &bytes, qsizetype at) {
    return little<qint32>(bytes, at);
}

quint16 le16(const QByteArray &bytes, qsizetype at) {
    return little<quint16>(bytes, at);
}

bool isEmf(const QByteArray &bytes) {
    // The header record (type 1) carries " EMF" at offset 40.
    return bytes.size() >= 88 && le32(bytes, 0) == 1 && le32(bytes, 40) == 0x464D4520;
}

bool isPlaceableWmf(const QByteArray &bytes) {
    return bytes.size() >= 22 + 18 && le32(bytes, 0) == 0x9AC6CDD7;
}

bool isWmf(const QByteArray &bytes) {
    if (isPlaceableWmf(bytes))
        return true;
    // A plain metafile header: in memory or on disk, nine words long,
    // version 1 or 3.
    if (bytes.size() < 18)
        return false;
    const quint16 type = le16(bytes, 0), headerWords = le16(bytes, 2), version = le16(bytes, 4);
    return (type == 1 || type == 2) && headerWords == 9 && (version == 0x0100 || version == 0x0300);
}

// The largest decoded picture, in megabytes: a 16000 x 16000 photograph.
// Qt's own limit (128) would turn down an ordinary 48-megapixel camera's.
// Beyond it a file is taken for a broken one rather than an attempt made to
// allocate gigabytes.
constexpr int largestPictureMb = 1024;

void allowLargePictures() {
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(largestPictureMb); });
}

bool sensibleSize(const QSize &size) {
    if (size.width() <= 0 || size.height() <= 0)
        return false;
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    return bytes <= qint64(largestPictureMb) * 1024 * 1024;
}

int renderSvg(const QByteArray &svg, const QSize &size, QImage *out) {
    QSvgRenderer renderer(svg);
    if (!renderer.isValid() || !sensibleSize(size))
        return InvalidPicture;
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return GeneralFailure;
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    *out = image;
    return Ok;
}

// The converter trusts the offsets and sizes inside the file; a damaged
// file must not make it read past the end. Every record lies within the
// file, the header's own parts within the header, each record passes the
// metafile library's own checks, and the end record is there.
bool emfRecordsSound(const QByteArray &bytes) {
    const qint64 total = bytes.size();
    qint64 at = 0;
    while (at + 8 <= total) {
        const quint32 type = le32(bytes, at), size = le32(bytes, at + 4);
        if (size < 8 || size % 4 != 0 || at + size > total)
            return false;
        if ((at == 0) != (type == 1))
            return false;
        if (type == 1) {
            if (size < 88)
                return false;
            const qint64 descriptionChars = le32(bytes, at + 60),
                         descriptionAt = le32(bytes, at + 64);
            if (descriptionChars != 0 &&
                (descriptionAt < 88 || descriptionAt + 2 * descriptionChars > size))
                return false;
            if (size >= 100) {
                const qint64 formatSize = le32(bytes, at + 88), formatAt = le32(bytes, at + 92);
                if (formatSize != 0 && (formatAt < 100 || formatAt + formatSize > size))
                    return false;
            }
        }
        if (!U_emf_record_safe(bytes.constData() + at))
            return false;
        if (type == 14) // the end
            return true;
        at += size;
    }
    return false;
}

int decodeEmf(const QByteArray &bytes, QImage *out) {
    if (!emfRecordsSound(bytes))
        return InvalidPicture;
    // The picture's size is the header's frame, in hundredths of a
    // millimetre; the device bounds serve when the frame is empty.
    const qint32 fl = le32s(bytes, 24), ft = le32s(bytes, 28), fr = le32s(bytes, 32),
                 fb = le32s(bytes, 36);
    QSize size(
        int(qBound(0.0, std::round((double(fr) - fl) * screenDpi / 2540.0), double(INT_MAX))),
        int(qBound(0.0, std::round((double(fb) - ft) * screenDpi / 2540.0), double(INT_MAX))));
    if (size.isEmpty()) {
        const qint32 bl = le32s(bytes, 8), bt = le32s(bytes, 12), br = le32s(bytes, 16),
                     bb = le32s(bytes, 20);
        size = QSize(int(qBound(0.0, double(br) - bl + 1, double(INT_MAX))),
                     int(qBound(0.0, double(bb) - bt + 1, double(INT_MAX))));
    }
    if (!sensibleSize(size))
        return InvalidPicture;

    QByteArray svg;
    {
        const std::lock_guard<std::mutex> guard(metafileLock());
        generatorOptions options{};
        char noNameSpace[] = "";
        options.nameSpace = noNameSpace;
        options.verbose = false;
        options.emfplus = true;
        options.svgDelimiter = true;
        options.imgWidth = size.width();
        options.imgHeight = size.height();
        QByteArray input = bytes; // the converter takes a writable buffer
        char *result = nullptr;
        size_t length = 0;
        const int ok = emf2svg(input.data(), size_t(input.size()), &result, &length, &options);
        if (result) {
            svg = QByteArray(result, qsizetype(length));
            std::free(result);
        }
        if (!ok || svg.isEmpty())
            return InvalidPicture;
    }
    return renderSvg(svg, size, out);
}

int decodeWmf(const QByteArray &bytes, QImage *out) {
    QByteArray svg;
    QSize size;
    {
        const std::lock_guard<std::mutex> guard(metafileLock());
        wmfAPI_Options options{};
        options.function = wmf_svg_function;
        const unsigned long flags =
            WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
        wmfAPI *api = nullptr;
        if (wmf_api_create(&api, flags, &options) != wmf_E_None) {
            if (api)
                wmf_api_destroy(api);
            return GeneralFailure;
        }
        // libwmf frees everything it allocated, the output buffer too, when
        // the API object goes.
        struct Destroy {
            wmfAPI *api;
            ~Destroy() { wmf_api_destroy(api); }
        } destroy{api};

        QByteArray input = bytes;
        if (wmf_mem_open(api, reinterpret_cast<unsigned char *>(input.data()),
                         long(input.size())) != wmf_E_None)
            return InvalidPicture;
        wmfD_Rect bbox{};
        if (wmf_scan(api, 0, &bbox) != wmf_E_None)
            return InvalidPicture;
        unsigned int width = 0, height = 0;
        if (wmf_display_size(api, &width, &height, screenDpi, screenDpi) != wmf_E_None)
            return InvalidPicture;
        size = QSize(int(qMin(width, unsigned(INT_MAX))), int(qMin(height, unsigned(INT_MAX))));
        if (!sensibleSize(size))
            return InvalidPicture;

        wmf_svg_t *device = WMF_SVG_GetData(api);
        device->out = wmf_stream_create(api, nullptr);
        device->Description = nullptr;
        device->bbox = bbox;
        device->width = width;
        device->height = height;
        device->flags |= WMF_SVG_INLINE_IMAGES;
        const wmf_error_t played = wmf_play(api, 0, &bbox);
        char *result = nullptr;
        unsigned long length = 0;
        wmf_stream_destroy(api, device->out, &result, &length);
        if (played != wmf_E_None || !result || length == 0)
            return InvalidPicture;
        svg = QByteArray(result, qsizetype(length));
    }
    return renderSvg(svg, size, out);
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

int readAllOf(QIODevice *device, QByteArray *bytes) {
    *bytes = device->readAll();
    if (auto *file = qobject_cast<QFileDevice *>(device); file && file->error() != QFile::NoError)
        return GeneralFailure;
    return Ok;
}

// Only the start of the file decides whether it is read at all, so that a
// large file of another kind under "*.*" costs nothing.
int decodeDevice(QIODevice *device, Picture *picture) {
    *picture = Picture();
    allowLargePictures();
    const QByteArray head = device->peek(512);
    if (isEmf(head) || isWmf(head)) {
        QByteArray bytes;
        if (const int err = readAllOf(device, &bytes))
            return err;
        return isEmf(head) ? decodeEmf(bytes, &picture->image) : decodeWmf(bytes, &picture->image);
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
        if (const int err = readAllOf(device, &bytes))
            return err;
        buffer.open(QIODevice::ReadOnly);
        device = &buffer;
    }
    QImageReader reader(device, format);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull())
        return reader.error() == QImageReader::DeviceError ? GeneralFailure : InvalidPicture;
    picture->image = forDisplay(image);
    if (reader.supportsAnimation() && reader.imageCount() > 1)
        picture->animation = bytes;
    return Ok;
}

} // namespace

int decodePicture(const QString &path, Picture *picture) {
    *picture = Picture();
    if (!QFileInfo(path).isFile())
        return FileNotFound;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return GeneralFailure;
    return decodeDevice(&file, picture);
}

} // namespace pomiv
