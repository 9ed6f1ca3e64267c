#pragma once
// Save-fault injection: the test process re-executes itself with the fault shim preloaded, then
// turns faults on and off for files whose path contains a given text.

#include <QByteArray>

namespace FaultShim {

// Call first in main(): re-executes the process with the shim in LD_PRELOAD when it is not there.
void ensureLoaded(int argc, char **argv);
bool loaded();

// Writes to matching files fail with ENOSPC once `bytes` bytes were written (counted from now).
void failWritesAfter(const QByteArray &pathPart, qint64 bytes);
void failFsync(const QByteArray &pathPart);
void failRename(const QByteArray &pathPart);
void clear();

} // namespace FaultShim
