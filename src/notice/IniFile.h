#pragma once
// A small INI file editor that changes one line and leaves every other byte of the file as it
// was. Section and key names are matched without regard to case; blanks around names and values
// are ignored; ";" and "#" start comment lines. Writes replace the file atomically.

#include <QString>

#include <stdexcept>

class IniFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class IniFile
{
public:
    explicit IniFile(const QString &path);

    QString path() const { return m_path; }

    // The value of `key` in `section`, or `defaultValue` when the file, the section or the key is
    // missing or the file cannot be read. The first matching key in file order wins.
    QString readString(const QString &section, const QString &key,
                       const QString &defaultValue) const;

    // Puts the line "key=value" in `section`: the key's existing line is replaced, or the line is
    // added at the end of the section, or the section and the line are added at the end of the
    // file. The file is created when missing and keeps its line-ending style. Throws IniFileError.
    void writeString(const QString &section, const QString &key, const QString &value);

private:
    QString m_path;
};
