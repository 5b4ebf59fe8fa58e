// Kills a process that rewrites the settings file as a transfer does (one
// run, a rewrite after every file) at random moments, and checks after every
// kill that the file holds one whole line, the old or the new, and that what
// a kill leaves beside it goes at the next start. Usage: settings_kill
// [kills, 1000 by default]

#include "core/DataFile.h"
#include "settings/rules/SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

using namespace pomiv;

static QByteArray contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const int kills = argc > 1 ? std::atoi(argv[1]) : 1000;
    QTemporaryDir dir;
    const QString data = dir.path() + QLatin1Char('/');
    // Two lines of different lengths, so that a line cut short or a longer
    // line's tail would show.
    const QString longFolder(300, QLatin1Char('m'));
    const QByteArray lines[] = {formatSettingsLine({longFolder, QStringLiteral("/d"),
                                                    QStringLiteral("A"), QStringLiteral("99")})
                                    .toLatin1(),
                                formatSettingsLine({QStringLiteral("/m"), QStringLiteral("/d"),
                                                    QStringLiteral("A"), QStringLiteral("7")})
                                    .toLatin1()};
    f_save(data,
           {QStringLiteral("/m"), QStringLiteral("/d"), QStringLiteral("A"), QStringLiteral("7")});
    int mixed = 0, leftovers = 0;
    for (int k = 0; k < kills; ++k) {
        const pid_t child = ::fork();
        if (child == 0) {
            SettingsRun run(data);
            for (int n = 0;; n ^= 1)
                run.f_save({n ? longFolder : QStringLiteral("/m"), QStringLiteral("/d"),
                            QStringLiteral("A"), QString::fromLatin1(n ? "99" : "7")});
        }
        ::usleep(useconds_t(QRandomGenerator::global()->bounded(3000)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const QByteArray now = contents(settingsFilePath(data));
        if (now != lines[0] && now != lines[1])
            ++mixed;
        leftovers += QDir(dir.path()).entryList(QDir::Files).size() - 1;
        removeStaleTemporaries(dir.path(), {QString::fromLatin1(settingsFileName)});
    }
    const int remaining = QDir(dir.path()).entryList(QDir::Files).size() - 1;
    std::printf("%d kills: %d files neither the old nor the new line, %d files left beside it "
                "(removed at the next start: %d remain)\n",
                kills, mixed, leftovers, remaining);
    return mixed == 0 && remaining == 0 ? 0 : 1;
}
