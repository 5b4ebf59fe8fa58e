#pragma once

#include "settings/rules/SettingsFile.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <array>
#include <optional>

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace pomiv {

class br;
class DriveList;
class f2;
class f1;
class FileList;
class FolderList;
class INTE;
class URLs;

// The main window, hub of the program: the folder browser, the transfer and
// content-check controls, and the commands that open the other windows. The
// other windows read and set its controls directly.
class pmvmin : public QMainWindow {
    Q_OBJECT
public:
    explicit pmvmin(QWidget *parent = nullptr);

    // Start-up sequence, run before the window is first shown. False when the
    // user chose to end the program (main folder's drive not ready).
    bool Form_Load();

    QPushButton *Command3;             // "クリア": empties the selection list
    QPushButton *INTB;                 // "画像ダウンロード": opens the download window
    QGroupBox *Frame2;                 // content check and folder options
    QWidget *Picture1;                 // groups the folder options
    std::array<QRadioButton *, 3> op2; // folder options: main, destination, current/original
    QWidget *Frame3;                   // groups the content-check options
    std::array<QRadioButton *, 2> op1; // content check: change extension, delete
    QPushButton *nc;                   // "内容チェック": starts the content check
    QFrame *Line2;                     // decoration in Frame2
    QFrame *Line1;                     // decoration in Frame2
    QGroupBox *Frame1;                 // "連番付": the transfer controls
    QPushButton *Command1;         // "選択あり　＞": selected files into the selection list
    QPushButton *Command2;         // "すべて　＞＞": all files into the selection list
    std::array<QLineEdit *, 3> tx; // current folder (hidden), name prefix, number
    QPushButton *st;               // "スタート": starts the transfer
    QLabel *Label1;                // caption of tx[1]
    QLabel *Label2;                // caption of tx[2]
    QListWidget *d4;               // selection list: names to copy
    QProgressBar *s;               // transfer progress
    QComboBox *sr;                 // file-type filter
    QPushButton *OKB;              // "画像表示": opens the viewer
    FileList *d3;                  // file list of the current folder
    FolderList *d2;                // folder list
    DriveList *d1;                 // drive list
    std::array<QLabel *, 2> fr;    // destination folder, main folder
    QLabel *Label5;                // caption of fr[1]
    QLabel *Label4;                // caption of fr[0]
    QLabel *Label3;                // caption of sr

    QMenu *m1;     // menu "ファイル"
    QAction *m1_3; // "URLの整理"
    QAction *m1_1; // "環境設定"
    QAction *m1_2; // "終了"
    QAction *bs;   // "バージョン情報"

    // The current folder as it was when the user last left it for the main or
    // destination folder; empty when none is remembered.
    QString OrigFolder;

    // Event handlers.
    void d1_Change();
    void d2_Change();
    void d3_PathChange();
    void d3_PatternChange();
    void sr_Change();
    void sr_Click(int index);
    void op2_Click(int index);
    void Form_Activate();
    void OKB_Click();
    void INTB_Click();
    void m1_1_Click();
    void m1_2_Click();
    void m1_3_Click();
    void bs_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void st_Click();
    void nc_Click();

    // Reads the settings file into the shared values and the transfer fields.
    void f_open();

    // Reads the settings file's folders (wanted 2) or all four fields into
    // the shared folders and the name prefix and number fields: a folder the
    // file holds, not empty, becomes the shared one (an empty field stands for
    // the start-up folder, which is or will be in its place); the prefix and
    // the number come only from a complete file. Returns the error.
    Error readSettingsInto(int wanted);

    // The settings record as it stands: the shared folders, the name prefix
    // and the number fields. The one place that assembles it.
    SettingsRecord settingsRecord() const;

    // Writes the settings file with these folders and the name prefix and
    // number fields; once written, the shared folders take them, so the file
    // and they agree. Returns the error (nothing changes then).
    Error saveSettings(const QString &mainFolder, const QString &destFolder);

    // Enables the view button exactly when the file list has an entry.
    void updateViewButton();

    // Shows a folder in the drive, folder and file lists (their change
    // handlings apply). False when it cannot be shown; a drive that is not
    // ready is reported (by the reporting window, or this one), and nothing
    // has changed then.
    bool showFolder(const QString &folder, QWidget *reporter = nullptr);

    // The folder options of this window and the download window: option 0
    // shows the main folder and 1 the destination folder, remembering in
    // original the folder they left; 2 returns to original and forgets it.
    // Option 2 is captioned by whether a folder is remembered. When the
    // folder cannot be shown, the option chosen before (checked) is checked
    // again. Returns the folder shown; nothing when nothing changed.
    std::optional<QString> followFolderOption(int index,
                                              const std::array<QRadioButton *, 3> &options,
                                              QString &original, int &checked, QWidget *reporter);

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildControls(QWidget *client);
    void buildMenu();

    int m_checkedOption = 2; // the folder option chosen last
    QPointer<INTE> m_inte;   // the download window while it is open
    QPointer<URLs> m_urls;   // the saved-URL organiser while it is open
    QPointer<f2> m_f2;       // the settings dialog while it is open
    QPointer<br> m_br;       // the version dialog while it is open
    QPointer<f1> m_f1;       // the image viewer, while it is open
};

} // namespace pomiv
