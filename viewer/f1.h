#pragma once

#include "viewer/PictureCache.h"

#include <QMainWindow>
#include <QPointer>

class QAction;

namespace pomiv {

class FileList;
class PictureBox;
class pmvmin;

// The image viewer: the current folder's listed pictures one at a time, each
// at its own size, stepped through with the mouse and the arrow keys, with
// Delete to delete the file shown and the right button to close.
class f1 : public QMainWindow {
    Q_OBJECT
public:
    // A viewer of the main window's current folder and filter; it opens (at
    // ViewIndex) when first shown.
    explicit f1(pmvmin *main);
    ~f1() override;

    QWidget *client; // the inner area; its free part takes double-clicks and right clicks
    PictureBox *g;   // picture area: the picture at its own size
    FileList *d1;    // the current folder's files, in the main window's order; hidden at first
    QAction *m1;     // "ファイルリストの表示": shows the list
    QAction *m2;     // "ファイルリストを隠す": hides the list

    // Opening: takes the folder and filter, shows the file at ViewIndex.
    void Form_Load();
    // The list's height follows the window's.
    void Form_Resize();
    // Goes to the entry at index: the list's highlight, ViewIndex and the
    // picture together. Every step, click, key and deletion comes here.
    void showAt(int index);
    // One step on (1) or back (-1) from the highlighted entry, round from
    // either end to the other.
    void step(int by);
    // Deletes the file shown, without asking.
    void deleteShown();

    void m1_Click();
    void m2_Click();
    void g_MouseDown(double y);
    void g_MouseMove(Qt::MouseButtons buttons, double y);
    // Key released on g or the window itself, or (onList) on d1.
    void Form_KeyUp(int key, bool onList = false);
    void d1_MouseUp(Qt::MouseButton button);

    // The decoded pictures (tests and the benchmark look at them).
    PictureCache &pictures() { return m_cache; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // Shows the file at ViewIndex.
    void img_s();
    // Shows entry to, reached by a step of by from the file shown; a step
    // past either end, from the file shown or the highlight, goes round.
    void stepTo(int by, int to);
    QString fullPath(int index) const;
    // The files to decode next when the file at index is shown.
    QStringList aheadOf(int index) const;
    // What the window shows of a picture of a size, placed at the top by the
    // picture-left rule.
    PartOf seenPart() const;
    void pictureCompleted();
    // The picture-left rule: g's left edge from the window's outer width.
    void placePicture();

    QPointer<pmvmin> m_main;
    bool m_opened = false;
    // The file shown, and the picture before it while it is shown in part:
    // the rest of a file may turn out to be no picture, and the picture
    // before it is then shown again where it was.
    QString m_shownPath, m_shownName;
    struct Before {
        bool known = false;
        QString path, name; // empty: no picture
        QRect place;
    } m_before;
    double m_pressY = 0; // pointer's height within g at the last press on it
    PictureCache m_cache;
};

} // namespace pomiv
