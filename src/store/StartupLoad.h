#pragma once
// The start-up load of the contact data file: stale temporaries of an interrupted save are
// removed, a missing file leaves the store empty without a word, and a file that exists but
// cannot be read is never overwritten: it is kept aside first and the caller tells the user.

#include <QString>

class ContactStore;

struct StartupLoadOutcome
{
    bool keptAside = false;
    QString copyPath;   // where the unreadable file now lies
    QString reason;     // why it could not be read, in Portuguese
};

StartupLoadOutcome loadAtStartup(ContactStore &store, const QString &dataFilePath);

// The data file's name in the program folder.
inline constexpr const char *kDataFileName = "Lirvan.VKX";
