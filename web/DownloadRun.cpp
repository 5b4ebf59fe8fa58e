// The download run of the download window: every listed address in list
// order into the run's folder.

#include "web/INTE.h"

#include "app/pmvmin.h"
#include "platform/Errors.h"
#include "platform/InternetTransfer.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/Ui.h"
#include "platform/Volumes.h"
#include "settings/SettingsFile.h"
#include "settings/Shared.h"
#include "web/DownloadRules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>

#include <memory>
#include <vector>

namespace pomiv {

// Pictures fetched ahead of the one being saved, this one included.
static int fetchAhead = 8;

void INTE::setFetchAhead(int count) {
    fetchAhead = qMax(1, count);
}


namespace {

// Names in a folder, compared without regard to case.
class FolderNames {
public:
    explicit FolderNames(const QString &folder) {
        const QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                         QDir::System | QDir::NoDotAndDotDot);
        for (const QString &name : names)
            m_names.insert(name.toCaseFolded());
    }
    bool contains(const QString &name) const { return m_names.contains(name.toCaseFolded()); }
    void add(const QString &name) { m_names.insert(name.toCaseFolded()); }

private:
    QSet<QString> m_names;
};

bool folderAvailable(const QString &folder) {
    const Volumes &volumes = Volumes::instance();
    const QString drive = volumes.driveOf(folder);
    if (!drive.isEmpty() && !volumes.isReady(drive))
        return false;
    return QFileInfo(folder).isDir();
}

// Creates the file with the bytes, never replacing one; a write that fails
// removes what it wrote.
int writeNewFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
            return FileAlreadyExists;
        if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
            return PathNotFound;
        return GeneralFailure;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.close();
        file.remove();
        return GeneralFailure;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        file.remove();
        return GeneralFailure;
    }
    return Ok;
}

} // namespace

void INTE::Command1_Click() {
    if (m_running)
        return;
    Command1->setEnabled(false);
    QString folder = ft->text();
    if (!m_main)
        return;
    const QString prefix = m_main->tx[1]->text();
    if (m_main->tx[2]->text().isEmpty() || prefix.isEmpty()) {
        message(this, jp("連番付するファイル名を入力してください"));
        it->Cancel();
        enableWhenListed();
        focusMain();
        return;
    }
    qint64 number = 0;
    if (const int err = parseNumberField(m_main->tx[2]->text(), &number)) {
        if (err == TypeMismatch) {
            message(this,
                    jp("連番付するファイル名を正しく入力してください、") + errorText(TypeMismatch));
            it->Cancel();
            enableWhenListed();
            focusMain();
        } else {
            message(this, numberErrorText(err));
            tidyUp(folder);
        }
        return;
    }
    const int count = L1->count();
    if (count == 0)
        return;
    if (folder.isEmpty())
        folder = m_main->tx[0]->text();
    const bool numbering = op1[0]->isChecked();

    QStringList addresses;
    for (int i = 0; i < count; ++i)
        addresses.append(L1->item(i)->text());

    m_running = true;
    setBusyPointer(this);
    it->holdStates(true);
    QPointer<INTE> self(this);
    setProgressMaximum(count - 1);

    enum Outcome { Done, NoPath, Clash, Failed };
    Outcome outcome = Done;
    int failedErr = Ok;
    int failures = 0;
    FolderNames existing(folder);

    // Later addresses are fetched ahead while each is saved in list order,
    // so what is seen is exactly what one fetch at a time would give.
    std::vector<std::unique_ptr<NetRequest>> requests(count);
    int started = 0;
    for (int i = 0; i < count; ++i) {
        while (started < count && started < i + fetchAhead) {
            requests[started].reset(it->startBytes(addresses[started]));
            ++started;
        }
        NetRequest *request = requests[i].get();
        InternetTransfer::waitFor(request);
        if (!self)
            return;
        if (!request->isFinished()) {
            outcome = Failed;
            failedErr = NetConnectFailed;
            break;
        }
        if (request->error() != Ok) {
            outcome = Failed;
            failedErr = request->error();
            break;
        }
        const QByteArray body = request->takeBody();
        const int status = request->httpStatus();
        requests[i].reset();

        const QString name = addressName(addresses[i]);
        const QString fileName = numbering ? numberedName(prefix, number) : safeFileName(name);
        const QString target = joinPath(folder, fileName);
        if (existing.contains(fileName)) {
            outcome = Clash;
            break;
        }
        if (!folderAvailable(folder)) {
            outcome = NoPath;
            break;
        }
        if (QFileInfo(QFileInfo(target).absolutePath()).canonicalFilePath() !=
            QFileInfo(folder).canonicalFilePath()) {
            // A name with a separator in it would leave the folder.
            outcome = Failed;
            failedErr = GeneralFailure;
            break;
        }
        if (isGoodPicture(body, status)) {
            const int err = writeNewFile(target, body);
            if (err == FileAlreadyExists) {
                outcome = Clash;
                break;
            }
            if (err == PathNotFound) {
                outcome = NoPath;
                break;
            }
            if (err != Ok) {
                outcome = Failed;
                failedErr = err;
                break;
            }
            existing.add(fileName);
            l3->addItem(name + QStringLiteral(" --OK"));
            if (numbering) {
                ++number;
                m_main->tx[2]->setText(QString::number(number));
            }
            if (const int saveErr =
                    f_save(MainFolder, DestFolder, m_main->tx[1]->text(), m_main->tx[2]->text())) {
                outcome = Failed;
                failedErr = saveErr;
                break;
            }
        } else {
            // Not a picture, an error answer or too small: counted as failed
            // and nothing is left in the folder.
            ++failures;
            l3->addItem(name + QStringLiteral(" --ERR-"));
        }
        s->setValue(i);
    }
    requests.clear(); // fetches ahead of a stop are cancelled

    m_running = false;
    it->holdStates(false);
    setArrowPointer(this);
    switch (outcome) {
    case Done:
        if (failures > 0)
            message(this, QLatin1Char(' ') + QString::number(failures) +
                              jp("個のファイルがダウンロードできませんでした"));
        message(this, jp("完了しました。"));
        tidyUp(folder);
        break;
    case NoPath:
        message(this, jp("ドライブの準備ができません"), MsgButtons::Ok, MsgIcon::Critical);
        break;
    case Clash:
        message(this, folder + pathSeparator() + jp("同名ファイルがあります"), MsgButtons::Ok,
                MsgIcon::Critical);
        close();
        break;
    case Failed:
        message(this, netErrorText(failedErr));
        tidyUp(folder);
        break;
    }
}

} // namespace pomiv
