#pragma once

// What the window tests of the download window share: a program folder, a
// main, destination and start-up folder, the main window, and the download
// window opened from it.

#include "LocalHttpServer.h"
#include "app/pmvmin.h"
#include "platform/Volumes.h"
#include "settings/Shared.h"
#include "tests/support/TestSupport.h"
#include "web/INTE.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace pomiv::test {

struct WebFixture {
    QTemporaryDir dir;
    QString app, mainFolder, destFolder, startFolder;
    std::unique_ptr<MessageRecorder> messages;
    std::unique_ptr<pmvmin> main;

    WebFixture() {
        app = dir.path() + QStringLiteral("/app");
        mainFolder = dir.path() + QStringLiteral("/main");
        destFolder = dir.path() + QStringLiteral("/dest");
        startFolder = dir.path() + QStringLiteral("/start");
        for (const QString &f : {app, mainFolder, destFolder, startFolder})
            QDir().mkpath(f);
        AppDir = app + QLatin1Char('/');
        MainFolder = mainFolder;
        DestFolder = destFolder;
        Volumes::setStartupFolder(startFolder);
        messages = std::make_unique<MessageRecorder>();
        main = std::make_unique<pmvmin>();
        main->tx[0]->setText(startFolder);
    }

    ~WebFixture() {
        QList<QPointer<QWidget>> windows;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("INTE") ||
                w->objectName() == QLatin1String("URLs"))
                windows.append(w);
        }
        for (const QPointer<QWidget> &w : windows)
            delete w.data();
        main.reset();
        messages.reset();
    }

    // The open download windows.
    static QList<INTE *> windows() {
        QList<INTE *> found;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *inte = qobject_cast<INTE *>(w); inte && inte->isVisible())
                found.append(inte);
        }
        return found;
    }

    INTE *open() {
        main->INTB_Click();
        const QList<INTE *> found = windows();
        return found.size() == 1 ? found.first() : nullptr;
    }

    QString pomiIni() const { return AppDir + QStringLiteral("pomi.ini"); }
};

} // namespace pomiv::test
