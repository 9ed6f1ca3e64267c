#include "support/FaultShim.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace FaultShim {

void ensureLoaded(int, char **argv)
{
    const char *preload = std::getenv("LD_PRELOAD");
    if (preload && std::strstr(preload, LIRVAN_FAULTSHIM))
        return;
    if (std::getenv("FAULTSHIM_TRIED"))
        return;   // exec failed before: run without it, loaded() tells the tests
    setenv("FAULTSHIM_TRIED", "1", 1);
    setenv("LD_PRELOAD", LIRVAN_FAULTSHIM, 1);
    execv("/proc/self/exe", argv);
}

bool loaded()
{
    return dlsym(RTLD_DEFAULT, "faultshim_reset") != nullptr;
}

static void reset()
{
    if (auto fn = reinterpret_cast<void (*)()>(dlsym(RTLD_DEFAULT, "faultshim_reset")))
        fn();
}

void clear()
{
    unsetenv("FAULTSHIM_PATH");
    unsetenv("FAULTSHIM_WRITE_AFTER");
    unsetenv("FAULTSHIM_FSYNC");
    unsetenv("FAULTSHIM_RENAME");
    reset();
}

void failWritesAfter(const QByteArray &pathPart, qint64 bytes)
{
    clear();
    setenv("FAULTSHIM_PATH", pathPart.constData(), 1);
    setenv("FAULTSHIM_WRITE_AFTER", QByteArray::number(bytes).constData(), 1);
}

void failFsync(const QByteArray &pathPart)
{
    clear();
    setenv("FAULTSHIM_PATH", pathPart.constData(), 1);
    setenv("FAULTSHIM_FSYNC", "1", 1);
}

void failRename(const QByteArray &pathPart)
{
    clear();
    setenv("FAULTSHIM_PATH", pathPart.constData(), 1);
    setenv("FAULTSHIM_RENAME", "1", 1);
}

} // namespace FaultShim
