#include "tests/support/TestFiles.h"

#include <fcntl.h>
#include <unistd.h>

namespace pomiv::test {

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

void writeRaw(const QString &folder, const QByteArray &name, const QByteArray &bytes) {
    const QByteArray path = QFile::encodeName(folder) + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool written =
        fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == ssize_t(bytes.size());
    if (fd >= 0)
        ::close(fd);
    if (!written)
        QFAIL(path.constData());
}

QByteArray readRaw(const QString &folder, const QByteArray &name) {
    QFile file;
    const int fd = ::open((QFile::encodeName(folder) + '/' + name).constData(), O_RDONLY);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return "(unreadable)";
    return file.readAll();
}

} // namespace pomiv::test
