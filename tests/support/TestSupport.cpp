#include "tests/support/TestSupport.h"

#include "platform/PictureDecoder.h"

namespace pomiv::test {

// Tests run from their own folders: they name the metafile helper built
// beside them. (The file functions below bring this file into every test.)
static void useBuiltMetafileHelper() {
    setMetafileHelper(QStringLiteral(POMIV_METAFILE_HELPER));
}
Q_COREAPP_STARTUP_FUNCTION(useBuiltMetafileHelper)

void writeFile(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        QFAIL(qPrintable("cannot write " + path));
}

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesIn(const QString &folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace pomiv::test
