#pragma once
// A folder that refuses new files, even to a test running as root: the folder is made read-only
// and the calling thread gives up the capabilities that bypass file permissions. Both are undone
// when the object goes away. Saves run on the calling thread, so they see the refusal.

#include <QString>

class RefusingFolder
{
public:
    explicit RefusingFolder(const QString &path);   // an empty path does nothing
    ~RefusingFolder();
    RefusingFolder(const RefusingFolder &) = delete;
    RefusingFolder &operator=(const RefusingFolder &) = delete;

    // True when creating a file in the folder now fails with "permission denied".
    bool refuses() const;
    void restore();

private:
    QString m_path;
    bool m_active = false;
    bool m_capsSaved = false;
    unsigned m_savedEffective[2] = {0, 0};
};
