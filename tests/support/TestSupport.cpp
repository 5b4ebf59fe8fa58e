#include "tests/support/TestSupport.h"

#include "platform/PictureDecoder.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTest>

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

} // namespace pomiv::test
