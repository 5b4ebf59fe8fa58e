// Writes seed inputs for the fuzz targets into the folder given: one folder
// per target, filled by the tests' own sample writer.
#include "tests/viewer/SampleFiles.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

using namespace pomiv::test;

int main(int argc, char *argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QDir top(QString::fromLocal8Bit(argv[1]));
    int written = 0;
    auto seed = [&](const char *target, const QByteArray &bytes) {
        top.mkpath(target);
        QFile file(top.filePath(QStringLiteral("%1/seed%2").arg(target).arg(++written)));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    const bool ok =
        seed("fuzz_picture_jpg", jpegBytes({40, 30}, Qt::red, 6)) &&
        seed("fuzz_picture_bmp", imageBytes({21, 13}, Qt::green)) &&
        seed("fuzz_picture_dib", imageBytes({19, 7}, Qt::blue).mid(14)) &&
        seed("fuzz_picture_gif", gifBytes({6, 4}, {Qt::red, Qt::green, Qt::blue})) &&
        seed("fuzz_picture_ico", imageBytes({16, 16}, Qt::red, "ICO")) &&
        seed("fuzz_picture_cur", curBytes({16, 16}, Qt::blue)) &&
        seed("fuzz_picture_emf", emfBytes({30, 20}, Qt::green)) &&
        seed("fuzz_picture_emf", emfTextBytes(0x10)) &&
        seed("fuzz_picture_wmf", wmfBytes({30, 20}, Qt::blue)) &&
        seed("fuzz_picture_wmf", wmfBitmapBytes(40, 4, 4)) &&
        seed("fuzz_settings", "\"C:\\pics\",\"D:\\out, numbered\",\"img\",\"0007\"\r\n") &&
        seed("fuzz_pomiini", "\"http://127.0.0.1/a.html\"\r\n\"http://127.0.0.1/b/\"\r\n") &&
        seed("fuzz_pagedecoding",
             "text/html; charset=Shift_JIS\n<meta charset=\"utf-8\"><p>x</p>") &&
        seed("fuzz_links",
             "<a href=\"a.jpg\">a</a><A HREF=\"/b/c.jpg\"><a Href=\"http://x/http://y/d.jpg\">");
    return ok ? 0 : 1;
}
