// libFuzzer target: the filter language (parse and evaluate), the text fold and the "%" match.
#include "FuzzHarness.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString problem = fuzzharness::runFilter(
        QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "fuzz_filter: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}
