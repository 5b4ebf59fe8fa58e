#include "platform/MessageBox.h"

#include <QMessageBox>

namespace pomiv {

namespace {

class ModalMessageBoxes : public MessageBoxes {
public:
    MsgAnswer show(QWidget *parent, const QString &text, MsgButtons buttons,
                   MsgIcon icon) override {
        QMessageBox box(icon == MsgIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                        QString::fromLatin1(messageTitle), text,
                        buttons == MsgButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                                     : QMessageBox::Ok,
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
