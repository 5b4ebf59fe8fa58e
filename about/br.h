#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace pomiv {

// The version dialog: banner, product name, version and icon, closed with OK
// (Enter and Escape press it too). Modeless; discarded when it closes.
class br : public QDialog {
    Q_OBJECT
public:
    explicit br(QWidget *parent = nullptr);

    QLabel *Image1;     // banner picture, stretched over its box
    QLabel *lb;         // product name "ポミブ"
    QLabel *lblVersion; // "ﾊﾞｰｼﾞｮﾝ：2.00"
    QLabel *picIcon;    // the program icon
    QPushButton *cmdOK; // "OK": closes the dialog

    void cmdOK_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;

private:
    // Makes the outer height, frame included, the designed one, keeping the
    // inner width; the frame is known only once the window system has it.
    void fitOuterHeight();
};

} // namespace pomiv
