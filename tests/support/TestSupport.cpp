#include "tests/support/TestSupport.h"

#include "platform/PictureDecoder.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace pomiv::test {

static void useBuiltMetafileHelper() {
    setMetafileHelper(QStringLiteral(POMIV_METAFILE_HELPER));
}
Q_COREAPP_STARTUP_FUNCTION(useBuiltMetafileHelper)

MsgAnswer ScriptedMessageBoxes::show(QWidget *, const QString &text, MsgButtons buttons,
                                     MsgIcon icon) {
    shown.append({text, buttons, icon, busyPointerShown()});
    if (buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    if (answers.empty())
        return MsgAnswer::Yes;
    const MsgAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

bool busyPointerShown() {
    const QCursor *pointer = QGuiApplication::overrideCursor();
    return pointer && pointer->shape() == Qt::WaitCursor;
}

MessageRecorder::MessageRecorder() {
    auto boxes = std::make_unique<ScriptedMessageBoxes>();
    m_boxes = boxes.get();
    MessageBoxes::setInstance(std::move(boxes));
}

MessageRecorder::~MessageRecorder() {
    MessageBoxes::setInstance(nullptr);
}

QStringList MessageRecorder::texts() const {
    QStringList texts;
    for (const ShownMessage &m : m_boxes->shown)
        texts.append(m.text);
    return texts;
}

VolumesOverride::VolumesOverride(const QStringList &roots) {
    auto volumes = std::make_unique<FakeVolumes>();
    volumes->m_roots = roots;
    if (!volumes->m_roots.contains(QStringLiteral("/")))
        volumes->m_roots.prepend(QStringLiteral("/"));
    m_volumes = volumes.get();
    Volumes::setInstance(std::move(volumes));
}

VolumesOverride::~VolumesOverride() {
    Volumes::setInstance(nullptr);
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        QFAIL(qPrintable(QStringLiteral("cannot write ") + path));
}

QByteArray readFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QStringList filesIn(const QString &folder) {
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    return names;
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
