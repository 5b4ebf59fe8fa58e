#pragma once

#include <QPointer>
#include <QWidget>

#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pomiv {

class DriveList;
class FolderList;
class pmvmin;

// The settings dialog "環境設定": picks the main folder (left half) and the
// destination folder (right half), saves them with the main window's name
// prefix and number, and moves the main window onto the new main folder.
// Modeless; discarded when it closes.
class f2 : public QWidget {
    Q_OBJECT
public:
    // Builds the dialog and runs its load step.
    explicit f2(pmvmin *main);

    QPushButton *OKB;               // "OK": saves and closes
    QPushButton *exitb;             // "キャンセル": closes without saving
    QGroupBox *Frame1;              // "メインフォルダ選択": the left half
    QGroupBox *Frame2;              // "変換先フォルダ選択": the right half
    std::array<DriveList *, 2> d1;  // drive lists: main folder, destination folder
    std::array<FolderList *, 2> d2; // folder lists: main folder, destination folder
    std::array<QLabel *, 2> Label1; // captions of d3
    std::array<QLineEdit *, 2> d3;  // the two chosen folders, as saved by OK

    // Event handlers.
    void Form_Load();
    void d1_Change(int index);
    void d2_Change(int index);
    void OKB_Click();
    void exitb_Click();

private:
    QPointer<pmvmin> m_main;
};

} // namespace pomiv
