// How long the settings dialog takes to open and to apply OK when the main
// and destination folders are large: both hold many subfolders and the main
// folder many pictures. Run by hand:
//   cmake --build build --target settings_bench && build/bench/settings_bench [count]

#include "app/pmvmin.h"
#include "controls/FileList.h"
#include "controls/FolderList.h"
#include "core/Paths.h"
#include "core/Volumes.h"
#include "settings/Shared.h"
#include "settings/f2.h"
#include "settings/rules/SettingsFile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

using namespace pomiv;

static long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5000;

    QTemporaryDir tmp;
    const QString start = QDir(tmp.path()).filePath(QStringLiteral("start"));
    const QString mainFolder = QDir(tmp.path()).filePath(QStringLiteral("main"));
    const QString destFolder = QDir(tmp.path()).filePath(QStringLiteral("dest"));
    for (const QString &folder : {start, mainFolder, destFolder}) {
        for (int i = 0; i < count; ++i)
            QDir().mkpath(folder + QStringLiteral("/sub%1").arg(i, 5, 10, QLatin1Char('0')));
    }
    for (int i = 0; i < count; ++i) {
        QFile file(mainFolder + QStringLiteral("/p%1.jpg").arg(i, 5, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
    }
    // The program starts in its start-up folder.
    QDir::setCurrent(start);
    Volumes::setStartupFolder(start);
    AppDir = withTrailingSeparator(tmp.path());
    f_save(AppDir, {mainFolder, destFolder, QStringLiteral("A"), QStringLiteral("1")});
    MainFolder = start;
    DestFolder = start;

    pmvmin window;
    const long before = peakKilobytes();
    const int rounds = 5;
    qint64 openNs = 0;
    qint64 okNs = 0;
    for (int r = 0; r < rounds; ++r) {
        window.d2->setPath(start);
        QElapsedTimer timer;
        timer.start();
        auto *dialog = new f2(&window);
        openNs += timer.nsecsElapsed();
        if (dialog->d3[0]->text() != mainFolder)
            return 1;
        timer.restart();
        dialog->OKB_Click();
        okNs += timer.nsecsElapsed();
        if (window.d3->count() != count)
            return 1;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    out << count << " subfolders in each folder, " << count << " pictures in the main folder\n";
    out << "open (load step):        " << openNs / rounds / 1000000.0 << " ms\n";
    out << "OK (save, main window):  " << okNs / rounds / 1000000.0 << " ms\n";
    out << "peak memory: " << peakKilobytes() << " kB (" << peakKilobytes() - before
        << " kB more than before the first opening)\n";
    return 0;
}
