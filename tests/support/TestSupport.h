#pragma once

#include "platform/MessageBox.h"
#include "platform/Volumes.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTest>

#include <deque>

namespace pomiv::test {

// One message box as the program asked for it.
struct ShownMessage {
    QString text;
    MsgButtons buttons;
    MsgIcon icon;
    bool busy; // the hourglass stood over the whole program meanwhile
};

// Whether the hourglass stands over the whole program.
inline bool busyPointerShown() {
    const QCursor *pointer = QGuiApplication::overrideCursor();
    return pointer && pointer->shape() == Qt::WaitCursor;
}

// Stands in for the modal message boxes: records every box and answers with
// the answers queued by the test (Yes when none is queued for a Yes/No box).
class ScriptedMessageBoxes : public MessageBoxes {
public:
    MsgAnswer show(QWidget *, const QString &text, MsgButtons buttons, MsgIcon icon) override {
        shown.append({text, buttons, icon, busyPointerShown()});
        if (buttons == MsgButtons::Ok)
            return MsgAnswer::Ok;
        const MsgAnswer answer = answers.empty() ? MsgAnswer::Yes : answers.front();
        if (!answers.empty())
            answers.pop_front();
        return answer;
    }

    QList<ShownMessage> shown;
    std::deque<MsgAnswer> answers;
};

// Installs scripted message boxes for the life of the object and gives
// access to them.
class MessageRecorder {
public:
    MessageRecorder() : m_boxes(new ScriptedMessageBoxes) {
        MessageBoxes::setInstance(std::unique_ptr<MessageBoxes>(m_boxes));
    }
    ~MessageRecorder() { MessageBoxes::setInstance(nullptr); }
    ScriptedMessageBoxes *operator->() const { return m_boxes; }
    const QList<ShownMessage> &shown() const { return m_boxes->shown; }
    QStringList texts() const {
        QStringList texts;
        for (const ShownMessage &m : m_boxes->shown)
            texts.append(m.text);
        return texts;
    }

private:
    ScriptedMessageBoxes *m_boxes;
};

// Drives made of test folders: each root is a folder; drives in notReady
// cannot be read. Also "/" so that paths outside the test folders have a
// drive.
class FakeVolumes : public Volumes {
public:
    QStringList roots() const override { return m_roots; }
    bool isReady(const QString &root) const override { return !notReady.contains(root); }

    QStringList m_roots;
    QSet<QString> notReady;
};

// Installs fake drives for the life of the object.
class VolumesOverride {
public:
    explicit VolumesOverride(const QStringList &roots) : m_volumes(new FakeVolumes) {
        m_volumes->m_roots = roots.contains("/") ? roots : QStringList{"/"} + roots;
        Volumes::setInstance(std::unique_ptr<Volumes>(m_volumes));
    }
    ~VolumesOverride() { Volumes::setInstance(nullptr); }
    FakeVolumes *operator->() const { return m_volumes; }

private:
    FakeVolumes *m_volumes;
};

// The open top-level windows of one class (the program's windows have no
// parent, so they outlive the main window).
template <class W> QList<W *> topLevels() {
    QList<W *> found;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<W *>(w))
            found.append(window);
    return found;
}

// The one visible window of this class, or none.
template <class W> W *only() {
    QList<W *> found = topLevels<W>();
    found.removeIf([](W *window) { return !window->isVisible(); });
    return found.size() == 1 ? found.first() : nullptr;
}

// The texts of a list or combo box, in order.
template <class W> QStringList items(const W *w) {
    QStringList texts;
    for (int i = 0; i < w->model()->rowCount(); ++i)
        texts.append(w->model()->index(i, 0).data().toString());
    return texts;
}

// Deletes every open top-level window of one class.
template <class W> void deleteTopLevels() {
    qDeleteAll(topLevels<W>());
}

// Writes bytes to a file, creating its folders. Fails the test on error.
void writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// Names of the files in a folder, sorted.
QStringList filesIn(const QString &folder);

// A file in a folder named by the bytes the system knows it by, which need
// not be UTF-8: written (failing the test on error), and read back
// ("(unreadable)" when it cannot be opened).
void writeRaw(const QString &folder, const QByteArray &name, const QByteArray &bytes);
QByteArray readRaw(const QString &folder, const QByteArray &name);

} // namespace pomiv::test
