#pragma once

#include <QString>

#include <memory>

class QWidget;

namespace pomiv {

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Critical };
enum class MsgAnswer { Ok, Yes, No };

// Every message the program shows goes through here: a text, OK or Yes/No,
// no icon or the critical one, and always the program's title "pomiv".
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MsgAnswer show(QWidget *parent, const QString &text, MsgButtons buttons,
                           MsgIcon icon) = 0;

    static MessageBoxes &instance();
    // Replaces the real, modal boxes (tests); null puts them back.
    static void setInstance(std::unique_ptr<MessageBoxes> boxes);
};

// Shows a message box and waits for the answer.
MsgAnswer message(QWidget *parent, const QString &text, MsgButtons buttons = MsgButtons::Ok,
                  MsgIcon icon = MsgIcon::None);

inline const char *messageTitle = "pomiv";

} // namespace pomiv
