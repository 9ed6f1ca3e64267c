// libFuzzer target: the binary data file as ContactStore::LoadFromFile reads it.
#include "FuzzHarness.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString scratch =
        QDir::temp().filePath(QStringLiteral("lirvan-fuzz-datafile-%1.dat").arg(getpid()));
    const QString problem = fuzzharness::runDataFile(
        QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), scratch);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "fuzz_datafile: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}
