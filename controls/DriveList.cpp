#include "controls/DriveList.h"

#include "core/Volumes.h"

namespace pomiv {

DriveList::DriveList(QWidget *parent) : QComboBox(parent) {
    reload();
    connect(this, &QComboBox::activated, this, [this](int index) { select(itemText(index)); });
}

void DriveList::reload() {
    const QSignalBlocker block(this);
    clear();
    addItems(Volumes::instance().roots());
    const int index = findText(m_drive);
    if (index >= 0)
        setCurrentIndex(index);
    else if (!m_drive.isEmpty()) {
        addItem(m_drive);
        setCurrentIndex(count() - 1);
    }
}

void DriveList::showPopup() {
    reload();
    QComboBox::showPopup();
}

void DriveList::setDrive(const QString &path) {
    QString root = Volumes::instance().driveOf(path);
    if (root.isEmpty())
        root = path;
    select(root);
}

void DriveList::select(const QString &root) {
    {
        const QSignalBlocker block(this);
        int index = findText(root);
        if (index < 0) {
            addItem(root);
            index = count() - 1;
        }
        setCurrentIndex(index);
    }
    if (root == m_drive)
        return;
    m_drive = root;
    emit changed();
}

} // namespace pomiv
