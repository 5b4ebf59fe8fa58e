#pragma once

// Test helpers for every layer: files written and read, and stand-ins for the
// program's services. Qt Core only, so rule tests link the rules alone.

#include "core/Volumes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTest>

#include <memory>

namespace pomiv::test {

// Installs a stand-in of one of the program's services for the life of the
// object and gives access to it.
template <class Service, class StandIn> class Override {
public:
    Override() : m_standIn(new StandIn) {
        Service::setInstance(std::unique_ptr<Service>(m_standIn));
    }
    ~Override() { Service::setInstance(nullptr); }
    StandIn *operator->() const { return m_standIn; }

protected:
    StandIn *m_standIn;
};

// Drives made of test folders: each root is a folder; drives in notReady
// cannot be read. Also "/" so that paths outside the test folders have a
// drive.
struct FakeVolumes : Volumes {
    QStringList roots() const override { return m_roots; }
    bool isReady(const QString &root) const override { return !notReady.contains(root); }
    QStringList m_roots;
    QSet<QString> notReady;
};

// Fake drives for the life of the object.
class VolumesOverride : public Override<Volumes, FakeVolumes> {
public:
    explicit VolumesOverride(const QStringList &roots) {
        m_standIn->m_roots = roots.contains("/") ? roots : QStringList{"/"} + roots;
    }
};

// Writes bytes to a file, creating its folders. Fails the test on error.
void writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// Names of the files in a folder, sorted.
QStringList filesIn(const QString &folder);

// A file in a folder named by the bytes the system knows it by, which need
// not be UTF-8: written (failing the test on error), and read back
// ("(unreadable)" when it cannot be opened).
void writeRaw(const QString &folder, const QByteArray &name, const QByteArray &bytes);
QByteArray readRaw(const QString &folder, const QByteArray &name);

} // namespace pomiv::test
