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
    bool ok = true;
    for (const auto &[type, bytes] : sampleOfEachType()) {
        const QString target = QStringLiteral("fuzz_picture_") + type;
        ok = ok && seed(qPrintable(target), bytes);
        for (const QByteArray &hostile : hostileFiles())
            ok = ok && seed(qPrintable(target), hostile);
    }
    ok = ok && seed("fuzz_settings", "\"C:\\pics\",\"D:\\out, numbered\",\"img\",\"0007\"\r\n") &&
         seed("fuzz_pomiini", "\"http://127.0.0.1/a.html\"\r\n\"http://127.0.0.1/b/\"\r\n") &&
         seed("fuzz_pagedecoding",
              "text/html; charset=Shift_JIS\n<meta charset=\"utf-8\"><p>x</p>") &&
         seed("fuzz_names", "a\xff\xef\xbf\xbd\xed\xb2\x80"
                            "b\xc3.jpg") &&
         seed("fuzz_links",
              "<a href=\"a.jpg\">a</a><A HREF=\"/b/c.jpg\"><a Href=\"http://x/http://y/d.jpg\">");
    return ok ? 0 : 1;
}
