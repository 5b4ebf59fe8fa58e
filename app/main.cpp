#include "about/ProgramArt.h"
#include "app/pmvmin.h"
#include "controls/Ui.h"
#include "core/Volumes.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pomiv"));
    pomiv::installFontSubstitutions();
    QApplication::setWindowIcon(pomiv::programIcon());
    QApplication::setFont(pomiv::designFont(QString::fromUtf8(pomiv::fontPGothic), 9));
    pomiv::Volumes::setStartupFolder(QDir::currentPath());

    pomiv::pmvmin window;
    if (!window.Form_Load())
        return 0;
    window.show();
    return app.exec();
}
