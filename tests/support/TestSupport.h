#pragma once

#include "controls/MessageBox.h"
#include "tests/support/TestFiles.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCursor>
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

} // namespace pomiv::test
