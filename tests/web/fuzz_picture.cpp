// The checks a downloaded picture's bytes go through, fed arbitrary bytes:
// a libFuzzer target (configure with -DPOMIV_FUZZ=ON and clang), or, built
// without it, a replay of the files named on the command line (ctest runs the
// corpus that way).

#include "web/rules/DownloadRules.h"

#include <QFile>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray head = bytes.first(qMin<qsizetype>(16, bytes.size()));
    const QByteArray tail = bytes.last(qMin<qsizetype>(64, bytes.size()));
    const bool picture = pomiv::isGoodPicture(head, bytes.size(), 200);
    return pomiv::endsWhole(head, tail, bytes.size()) && picture ? 0 : 0;
}

#ifndef POMIV_LIBFUZZER
int main(int argc, char *argv[]) {
    for (int i = 1; i < argc; ++i) {
        QFile file(QString::fromLocal8Bit(argv[i]));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray bytes = file.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                               size_t(bytes.size()));
    }
    return 0;
}
#endif
