// libFuzzer target: the fading alert's mark-up, parsed, measured and painted offscreen.
#include "FuzzHarness.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_markup";
    static char *argv[] = {name, nullptr};
    static QGuiApplication *app = new QGuiApplication(argc, argv);
    (void)app;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString problem = fuzzharness::runMarkup(
        QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "fuzz_markup: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}
