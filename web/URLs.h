#pragma once

#include <QPointer>
#include <QWidget>

class QListWidget;
class QPushButton;

namespace pomiv {

// The saved-URL organiser: removes saved main URLs one at a time and writes
// the list back to the saved main URLs file, or leaves it untouched.
class URLs : public QWidget {
    Q_OBJECT
public:
    explicit URLs(QWidget *parent = nullptr);

    // Start-up: the saved main URLs in file order.
    void Form_Load();

    QPushButton *Command1; // "削除": removes the selected entry
    QPushButton *Command2; // "更新して終了": writes the list and closes
    QPushButton *Command3; // "キャンセル": closes without writing
    QListWidget *l1;       // the saved main URLs

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

private:
    // Lines of the file the start-up listed; the lines after them are
    // written back unchanged.
    int m_listedLines = 0;
};

} // namespace pomiv
