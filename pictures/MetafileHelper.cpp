// pomiv-metafile: converts one metafile, read from standard input, into
// pixels written to standard output (see platform/Metafile.h). The metafile
// libraries are old C code with global state that trusts what it reads; they
// run here, in a process of their own with little time and memory and no
// way to write a file, so that a file which crashes or hangs them costs the
// program nothing but that one picture. The program starts one helper per
// metafile.
#include "pictures/Fonts.h"
#include "pictures/Metafile.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>

#include <cstdio>
#include <cstdlib>

#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>
#include <uemf_safe.h>

#ifdef Q_OS_UNIX
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/landlock.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#endif

using namespace pomiv;
using namespace pomiv::metafile;

namespace {

constexpr double screenDpi = 96.0;

#ifdef Q_OS_UNIX
constexpr int cpuSeconds = 5;

// Nothing but standard input, output and error stays open, whatever the
// program had open when it started the helper.
void closeInheritedDescriptors() {
    DIR *dir = opendir("/proc/self/fd");
    if (!dir) {
        for (int fd = 3; fd < 1024; ++fd)
            close(fd);
        return;
    }
    const int own = dirfd(dir);
    while (const dirent *entry = readdir(dir)) {
        const int fd = atoi(entry->d_name);
        if (fd > 2 && fd != own)
            close(fd);
    }
    closedir(dir);
}

void setLimit(int resource, rlim_t soft, rlim_t hard) {
    const rlimit limit{soft, hard};
    setrlimit(resource, &limit);
}
#endif

#ifdef Q_OS_LINUX
// Files may still be read (fonts, the libraries), none written, created or
// removed. Kernels without Landlock keep only the file size limit.
void forbidWriting() {
    landlock_ruleset_attr attr{};
    attr.handled_access_fs = LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_REMOVE_DIR |
                             LANDLOCK_ACCESS_FS_REMOVE_FILE | LANDLOCK_ACCESS_FS_MAKE_CHAR |
                             LANDLOCK_ACCESS_FS_MAKE_DIR | LANDLOCK_ACCESS_FS_MAKE_REG |
                             LANDLOCK_ACCESS_FS_MAKE_SOCK | LANDLOCK_ACCESS_FS_MAKE_FIFO |
                             LANDLOCK_ACCESS_FS_MAKE_BLOCK | LANDLOCK_ACCESS_FS_MAKE_SYM;
    const long ruleset = syscall(SYS_landlock_create_ruleset, &attr, sizeof attr, 0);
    if (ruleset < 0)
        return;
    syscall(SYS_landlock_restrict_self, ruleset, 0);
    close(int(ruleset));
}
#endif

void confine() {
#ifdef Q_OS_UNIX
    closeInheritedDescriptors();
    setLimit(RLIMIT_CPU, cpuSeconds, cpuSeconds + 1);
    setLimit(RLIMIT_FSIZE, 0, 0);
    setLimit(RLIMIT_CORE, 0, 0);
    signal(SIGXFSZ, SIG_IGN); // a write to a file fails rather than kills
#ifndef POMIV_SANITIZED
    // The address sanitizer reserves terabytes of address space up front.
    constexpr rlim_t addressSpaceBytes = rlim_t(1) << 30;
    setLimit(RLIMIT_AS, addressSpaceBytes, addressSpaceBytes);
#endif
#endif
#ifdef Q_OS_LINUX
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    forbidWriting();
#endif
#ifdef Q_OS_WIN
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

QByteArray readInput() {
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, stdin);
        if (n == 0)
            break;
        if (bytes.size() + qint64(n) > largestMetafileBytes)
            return {};
        bytes.append(chunk, qsizetype(n));
    }
    return bytes;
}

// The converter trusts the offsets and sizes inside the file; a damaged
// file must not make it read past the end. Every record lies within the
// file, the header's own parts within the header, each record passes the
// metafile library's own checks, and the end record is there.
bool emfRecordsSound(const QByteArray &bytes) {
    const qint64 total = bytes.size();
    qint64 at = 0;
    const auto le32 = [&](qint64 i) {
        return i + 4 <= total ? qFromLittleEndian<quint32>(bytes.constData() + i) : 0u;
    };
    while (at + 8 <= total) {
        const quint32 type = le32(at), size = le32(at + 4);
        if (size < 8 || size % 4 != 0 || at + size > total)
            return false;
        if ((at == 0) != (type == 1))
            return false;
        if (type == 1) {
            if (size < 88)
                return false;
            const qint64 descriptionChars = le32(at + 60), descriptionAt = le32(at + 64);
            if (descriptionChars != 0 &&
                (descriptionAt < 88 || descriptionAt + 2 * descriptionChars > size))
                return false;
            if (size >= 100) {
                const qint64 formatSize = le32(at + 88), formatAt = le32(at + 92);
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

QByteArray emfToSvg(QByteArray bytes, QSize size) {
    if (!emfRecordsSound(bytes))
        return {};
    generatorOptions options{};
    char noNameSpace[] = "";
    options.nameSpace = noNameSpace;
    options.verbose = false;
    options.emfplus = true;
    options.svgDelimiter = true;
    options.imgWidth = size.width();
    options.imgHeight = size.height();
    char *result = nullptr;
    size_t length = 0;
    const int ok = emf2svg(bytes.data(), size_t(bytes.size()), &result, &length, &options);
    QByteArray svg;
    if (result)
        svg = QByteArray(result, qsizetype(length));
    std::free(result);
    return ok ? svg : QByteArray();
}

QByteArray wmfToSvg(QByteArray bytes, QSize *size) {
    wmfAPI_Options options{};
    options.function = wmf_svg_function;
    const unsigned long flags =
        WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    wmfAPI *api = nullptr;
    if (wmf_api_create(&api, flags, &options) != wmf_E_None)
        return {};
    // libwmf frees everything it allocated, the output buffer too, when the
    // API object goes.
    struct Destroy {
        wmfAPI *api;
        ~Destroy() { wmf_api_destroy(api); }
    } destroy{api};

    if (wmf_mem_open(api, reinterpret_cast<unsigned char *>(bytes.data()), long(bytes.size())) !=
        wmf_E_None)
        return {};
    wmfD_Rect bbox{};
    if (wmf_scan(api, 0, &bbox) != wmf_E_None)
        return {};
    unsigned int width = 0, height = 0;
    if (wmf_display_size(api, &width, &height, screenDpi, screenDpi) != wmf_E_None ||
        !withinBudget(width, height))
        return {};
    *size = QSize(int(width), int(height));

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
        return {};
    return QByteArray(result, qsizetype(length));
}

bool writeAll(const char *data, qint64 length) {
    while (length > 0) {
        const size_t n = std::fwrite(data, 1, size_t(qMin<qint64>(length, 1 << 20)), stdout);
        if (n == 0)
            return false;
        data += n, length -= qint64(n);
    }
    return true;
}

} // namespace

#ifdef POMIV_SANITIZED
// The libraries' own leaks at exit are none of the program's business, and
// would fail every conversion.
extern "C" const char *__asan_default_options() {
    return "detect_leaks=0";
}
#endif

int main(int argc, char *argv[]) {
    confine();
    const QByteArray bytes = readInput();
    QSize size;
    QByteArray svg;
    if (isEmf(bytes)) {
        size = emfSize(bytes);
        if (withinBudget(size.width(), size.height()))
            svg = emfToSvg(bytes, size);
    } else if (isWmf(bytes) && wmfRecordsSound(bytes)) {
        svg = wmfToSvg(bytes, &size);
    }
    if (svg.isEmpty())
        return 1;

    // The fonts are looked up only now: the converters may have shut the
    // font configuration down behind them.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    installFontSubstitutions();
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return 1;
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return 1;
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();

    const QByteArray header = replyHeader(size);
    if (!writeAll(header.constData(), header.size()))
        return 1;
    for (int y = 0; y < image.height(); ++y) {
        if (!writeAll(reinterpret_cast<const char *>(image.constScanLine(y)),
                      qint64(size.width()) * 4))
            return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
