#pragma once

#include <QComboBox>

namespace pomiv {

// Drive list control: the drives of the system; its value is the selected
// drive's root. changed fires when the user or the program picks another
// drive.
class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget *parent = nullptr);

    QString drive() const { return m_drive; }
    // Selects the drive that holds the path (a root, or any folder on it).
    void setDrive(const QString &path);

    // Reads the drives again.
    void reload();

    void showPopup() override;

signals:
    void changed();

private:
    void select(const QString &root);

    QString m_drive;
};

} // namespace pomiv
