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
        if (buttons == MsgButtons::Ok || answers.empty())
            return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Yes;
        const MsgAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    QList<ShownMessage> shown;
    std::deque<MsgAnswer> answers;
};

// Installs a stand-in of one of the program's services for the life of the
// object and gives access to it.
template <class Service, class StandIn> class Override {
public:
    Override() : m_standIn(new StandIn) {
        Service::setInstance(std::unique_ptr<Service>(m_standIn));
    }
    ~Override() { Service::setInstance(nullptr); }
    StandIn *operator->() const { return m_standIn; }

protected:
    StandIn *m_standIn;
};

// Scripted message boxes for the life of the object.
class MessageRecorder : public Override<MessageBoxes, ScriptedMessageBoxes> {
public:
    const QList<ShownMessage> &shown() const { return m_standIn->shown; }
    QStringList texts() const {
        QStringList texts;
        for (const ShownMessage &m : m_standIn->shown)
            texts.append(m.text);
        return texts;
    }
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

// Fake drives for the life of the object.
class VolumesOverride : public Override<Volumes, FakeVolumes> {
public:
    explicit VolumesOverride(const QStringList &roots) {
        m_standIn->m_roots = roots.contains("/") ? roots : QStringList{"/"} + roots;
    }
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
