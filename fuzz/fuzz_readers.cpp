// One libFuzzer target per reader of outside bytes; the build picks the
// reader with a definition (see CMakeLists.txt). Each target feeds the bytes
// through the reader's real path, files included.
#include "core/DataFile.h"
#include "core/Paths.h"
#include "core/Text.h"
#include "pictures/PictureDecoder.h"
#include "settings/Shared.h"
#include "settings/rules/SettingsFile.h"
#include "web/rules/LinkExtract.h"
#include "web/rules/PageDecoding.h"
#include "web/rules/PomiIni.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdint>

using namespace pomiv;

namespace {

QTemporaryDir *folder;

[[maybe_unused]] void writeInput(const QString &name, const uint8_t *data, size_t size) {
    QFile file(folder->filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(file.fileName()));
    file.write(reinterpret_cast<const char *>(data), qint64(size));
}

#ifdef FUZZ_PICTURE
// Each picture target keeps the signature of its type in place, so that the
// fuzzer spends its time inside that type's reader.
QByteArray asType(QByteArray bytes) {
    const QByteArray type(FUZZ_PICTURE);
    auto stamp = [&](qsizetype at, const QByteArray &signature) {
        if (bytes.size() >= at + signature.size())
            bytes.replace(at, signature.size(), signature);
    };
    if (type == "jpg")
        stamp(0, "\xff\xd8\xff");
    else if (type == "bmp")
        stamp(0, "BM");
    else if (type == "gif")
        stamp(0, "GIF8");
    else if (type == "ico")
        stamp(0, QByteArray("\0\0\1\0", 4));
    else if (type == "cur")
        stamp(0, QByteArray("\0\0\2\0", 4));
    else if (type == "wmf")
        stamp(0, "\xd7\xcd\xc6\x9a");
    else if (type == "emf" && bytes.size() >= 88) {
        stamp(0, QByteArray("\1\0\0\0", 4));
        stamp(40, " EMF");
    }
    return bytes;
}
#endif

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    folder = new QTemporaryDir;
    AppDir = folder->path() + QLatin1Char('/');
    setMetafileHelper(QStringLiteral(POMIV_METAFILE_HELPER));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
#if defined(FUZZ_PICTURE)
    const QByteArray bytes =
        asType(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    writeInput(QStringLiteral("input"), reinterpret_cast<const uint8_t *>(bytes.constData()),
               size_t(bytes.size()));
    Picture picture;
    const Error err = decodePicture(folder->filePath(QStringLiteral("input")), &picture);
    if (err != Ok && err != InvalidPicture)
        qFatal("decoder gave %d", int(err));
    if (err == Ok && qint64(picture.image.width()) * picture.image.height() > 16384LL * 8192)
        qFatal("picture beyond the budget");
#elif defined(FUZZ_SETTINGS) || defined(FUZZ_POMIINI)
    // The text as the data files are read (reading the file itself allocates
    // its largest size each time, which would slow the fuzzer a thousandfold).
    const QString text =
        decodeDataText(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
#ifdef FUZZ_SETTINGS
    readSettingsFields(text);
    readSettingsFields(text, 2);
#else
    for (const QString &line : splitDataLines(text))
        PomiIni::entryOf(line);
#endif
#elif defined(FUZZ_PAGEDECODING)
    // The first line stands for the Content-Type header, the rest for the
    // page; it is decoded in two pieces, as it arrives.
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype lineEnd = input.indexOf('\n');
    const QByteArray contentType = lineEnd < 0 ? QByteArray() : input.left(lineEnd);
    const QByteArray body = input.mid(lineEnd + 1);
    QString whole;
    if (isUtf8(body) != isUtf8(body, &whole))
        qFatal("UTF-8 checked in pieces and whole differ");
    QStringDecoder decoder = pageDecoder(body, contentType);
    QString text = decoder.decode(body.left(body.size() / 2));
    text += decoder.decode(body.mid(body.size() / 2));
    metaCharset(body);
#elif defined(FUZZ_NAMES)
    // A file name as the system gives it: its text leads back to its bytes.
    const QByteArray name(reinterpret_cast<const char *>(data), qsizetype(size));
    if (systemPath(nameFromSystem(name.constData(), name.size())) != name)
        qFatal("a name does not lead back to its bytes");
#elif defined(FUZZ_LINKS)
    const QString page = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const LinkScan scan = extractLinks(page, QStringLiteral("http://127.0.0.1/pages/"));
    for (const QString &link : scan.links)
        baseUrlOf(embeddedAddressCut(link), scan.baseUrl);
#endif
    return 0;
}
