#include "controls/MessageBox.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>

namespace pomiv {

namespace {

// A Yes/No question is answered by its buttons only: Escape and the close
// box leave it on screen, as a question without Cancel does on Windows.
class Box : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    bool isQuestion() const { return button(QMessageBox::No) != nullptr; }

    void keyPressEvent(QKeyEvent *event) override {
        if (isQuestion() && event->matches(QKeySequence::Cancel))
            return;
        QMessageBox::keyPressEvent(event);
    }

    void closeEvent(QCloseEvent *event) override {
        if (isQuestion() && !clickedButton()) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }
};

class ModalMessageBoxes : public MessageBoxes {
public:
    MsgAnswer show(QWidget *parent, const QString &text, MsgButtons buttons,
                   MsgIcon icon) override {
        Box box(icon == MsgIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                QString::fromLatin1(messageTitle), text,
                buttons == MsgButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                parent);
        const int answer = box.exec();
        if (buttons == MsgButtons::Ok)
            return MsgAnswer::Ok;
        return answer == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    }
};

std::unique_ptr<MessageBoxes> &current() {
    static std::unique_ptr<MessageBoxes> boxes;
    return boxes;
}

} // namespace

MessageBoxes &MessageBoxes::instance() {
    if (!current())
        current() = std::make_unique<ModalMessageBoxes>();
    return *current();
}

void MessageBoxes::setInstance(std::unique_ptr<MessageBoxes> boxes) {
    current() = std::move(boxes);
}

MsgAnswer message(QWidget *parent, const QString &text, MsgButtons buttons, MsgIcon icon) {
    return MessageBoxes::instance().show(parent, text, buttons, icon);
}

} // namespace pomiv
