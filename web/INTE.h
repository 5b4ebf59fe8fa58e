#pragma once

#include <QListWidget>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace pomiv {

class InternetTransfer;
class pmvmin;

// A list box that takes data dropped from other programs.
class DropList : public QListWidget {
    Q_OBJECT
public:
    using QListWidget::QListWidget;

signals:
    void dropped(const QMimeData *data);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    Qt::DropActions supportedDropActions() const override;
};

// The download window: a web page's picture links are listed (dropped or
// picked from the saved main URLs), then downloaded into the chosen folder
// under numbered names or the names in their addresses.
class INTE : public QWidget {
    Q_OBJECT
public:
    explicit INTE(pmvmin *main);
    ~INTE() override;

    // Start-up: the saved main URLs and the save folder.
    void Form_Load();

    QPushButton *Command1;             // "画像のダウンロード": starts the download
    QPushButton *Command3;             // "終了": closes the window
    QLabel *Label1;                    // "ファイル数"
    QLabel *sosu;                      // number of links found
    QPushButton *Command4;             // "URLの整理": opens the organiser
    QLabel *Label3;                    // advice to save pages
    QComboBox *l2;                     // main URL box and the saved main URLs
    QPushButton *Command2;             // "メインＵＲＬの保存": saves the main URL
    QLabel *Label2;                    // drop advice above the link list
    DropList *L1;                      // link list: picture addresses to download
    QProgressBar *s;                   // download progress
    QLabel *Label5;                    // "通信状態"
    QLineEdit *Text4;                  // status box
    QPushButton *Command5;             // "クリア": empties the link list and main URL box
    QLabel *Label4;                    // note on what can be downloaded
    QGroupBox *Frame1;                 // naming options
    std::array<QRadioButton *, 2> op1; // numbered names, names from the addresses
    QGroupBox *Frame2;                 // "保存先フォルダ"
    QLabel *ft;                        // the save folder
    std::array<QRadioButton *, 3> op2; // save folder: main, destination, current/original
    QLabel *Label7;                    // "ダウンロードモニター"
    QListWidget *l3;                   // download monitor: one line per address
    QLineEdit *Text3;                  // base URL, hidden below the client area
    InternetTransfer *it;              // fetches pages and pictures

    // The main window's folder from before the save folder was switched to
    // the main or destination folder; empty when none is remembered.
    QString SavedFolder;

    // Event handlers.
    void op2_Click(int index);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void L1_OLEDragDrop(const QMimeData *data);
    void l2_Click();
    void it_StateChanged(int state);

    // Starts a load: a picture address is listed at once, any other is
    // fetched as a page whose links the state handler lists.
    void URL_ad(const QString &address);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls(QWidget *client);
    void addSavedEntry(const QString &entry);
    bool showInMain(const QString &folder);
    void readPage();
    void focusMain();
    void tidyUp(const QString &folder);
    void setProgressMaximum(int maximum);
    void enableWhenListed();

    QPointer<pmvmin> m_main;
    QString m_requestBase; // base URL of the page request in progress
    QString m_requestPage; // its address
    int m_checkedOption = 2;
    bool m_running = false;
    bool m_closing = false;
};

} // namespace pomiv
