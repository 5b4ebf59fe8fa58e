#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace pomiv {

QChar pathSeparator() {
    return QDir::separator();
}

QString joinPath(const QString &folder, const QString &name) {
    return withTrailingSeparator(folder) + name;
}

QString withTrailingSeparator(const QString &folder) {
    if (folder.endsWith(pathSeparator()))
        return folder;
    return folder + pathSeparator();
}

static bool folderWritable(const QString &dir) {
    // Access bits lie for root and on some file systems: try it.
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".pomiv-probe-XXXXXX")));
    return probe.open();
}

QString installedProgramDir() {
    return QStringLiteral(POMIV_INSTALLED_BINDIR);
}

static bool sameFolder(const QString &a, const QString &b) {
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

QString appDirFor(const QString &programDir) {
    if (!sameFolder(programDir, installedProgramDir()) && folderWritable(programDir))
        return QDir::toNativeSeparators(programDir) + pathSeparator();
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(config);
    return withTrailingSeparator(QDir::toNativeSeparators(config));
}

static QString &programDirOverride() {
    static QString folder;
    return folder;
}

QString programDir() {
    if (!programDirOverride().isEmpty())
        return programDirOverride();
    return QCoreApplication::applicationDirPath();
}

void setProgramDirForTests(const QString &folder) {
    programDirOverride() = folder;
}

QString cleanFolderPath(const QString &path) {
    return QDir::toNativeSeparators(QDir::cleanPath(path));
}

} // namespace pomiv
