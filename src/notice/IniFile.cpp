#include "notice/IniFile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include <vector>

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

#ifdef Q_OS_WIN
const QByteArray kNativeLineEnding("\r\n");
#else
const QByteArray kNativeLineEnding("\n");
#endif

// One line of the file as byte offsets: [begin, textEnd) is its text without the line ending,
// [textEnd, end) the line ending itself (empty for a last line without one).
struct Line
{
    enum Kind { Other, Section, KeyValue };
    qsizetype begin = 0;
    qsizetype textEnd = 0;
    qsizetype end = 0;
    Kind kind = Other;
    QString name;   // the section's or the key's name, trimmed
    QString value;  // the key's value, trimmed
    bool blank = false;
};

std::vector<Line> parseLines(const QByteArray &content)
{
    std::vector<Line> lines;
    qsizetype pos = content.startsWith(kUtf8Bom) ? kUtf8Bom.size() : 0;
    while (pos < content.size()) {
        Line line;
        line.begin = pos;
        const qsizetype newline = content.indexOf('\n', pos);
        line.end = newline < 0 ? content.size() : newline + 1;
        line.textEnd = newline < 0 ? content.size() : newline;
        if (line.textEnd > line.begin && content.at(line.textEnd - 1) == '\r')
            --line.textEnd;
        pos = line.end;

        const QString text =
            QString::fromUtf8(content.constData() + line.begin, line.textEnd - line.begin)
                .trimmed();
        line.blank = text.isEmpty();
        if (text.isEmpty() || text.startsWith(u';') || text.startsWith(u'#')) {
            line.kind = Line::Other;
        } else if (text.startsWith(u'[')) {
            const qsizetype close = text.indexOf(u']');
            line.kind = Line::Section;
            line.name = text.mid(1, close < 0 ? -1 : close - 1).trimmed();
        } else if (const qsizetype equals = text.indexOf(u'='); equals > 0) {
            line.kind = Line::KeyValue;
            line.name = text.left(equals).trimmed();
            line.value = text.mid(equals + 1).trimmed();
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Where a key lives: its line, or else the last non-blank line of the first matching section
// (the section line itself when the section is empty), or neither.
struct Location
{
    qsizetype keyLine = -1;
    qsizetype sectionEnd = -1;
};

Location locate(const std::vector<Line> &lines, const QString &section, const QString &key)
{
    Location found;
    bool inSection = false;
    bool inFirstSection = false;
    for (qsizetype i = 0; i < qsizetype(lines.size()); ++i) {
        const Line &line = lines[i];
        if (line.kind == Line::Section) {
            inSection = sameName(line.name, section);
            inFirstSection = inSection && found.sectionEnd < 0;
            if (inFirstSection)
                found.sectionEnd = i;
            continue;
        }
        if (!inSection)
            continue;
        if (line.kind == Line::KeyValue && sameName(line.name, key)) {
            found.keyLine = i;
            return found;
        }
        if (inFirstSection && !line.blank)
            found.sectionEnd = i;
    }
    return found;
}

QByteArray lineEndingOf(const QByteArray &content)
{
    const qsizetype newline = content.indexOf('\n');
    if (newline < 0)
        return kNativeLineEnding;
    return newline > 0 && content.at(newline - 1) == '\r' ? QByteArray("\r\n") : QByteArray("\n");
}

bool hasLineBreak(const QString &text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

void checkNames(const QString &section, const QString &key, const QString &value)
{
    if (section.trimmed().isEmpty() || hasLineBreak(section) || section.contains(u']'))
        throw IniFileError("Nome de seção inválido no arquivo de configurações: \""
                           + section.toStdString() + "\"");
    if (key.trimmed().isEmpty() || hasLineBreak(key) || key.contains(u'=')
        || key.trimmed().startsWith(u';') || key.trimmed().startsWith(u'#')
        || key.trimmed().startsWith(u'['))
        throw IniFileError("Nome de chave inválido no arquivo de configurações: \""
                           + key.toStdString() + "\"");
    if (hasLineBreak(value))
        throw IniFileError("O valor de \"" + key.toStdString()
                           + "\" não pode conter quebras de linha");
}

std::string failureText(const char *what, const QString &path, const QString &reason)
{
    return std::string(what) + " o arquivo de configurações \"" + path.toStdString()
           + "\": " + reason.toStdString();
}

} // namespace

IniFile::IniFile(const QString &path) : m_path(path) {}

QString IniFile::readString(const QString &section, const QString &key,
                            const QString &defaultValue) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return defaultValue;
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return defaultValue;

    const std::vector<Line> lines = parseLines(content);
    const Location found = locate(lines, section, key);
    return found.keyLine < 0 ? defaultValue : lines[found.keyLine].value;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    checkNames(section, key, value);

    QByteArray content;
    if (QFile::exists(m_path)) {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly))
            throw IniFileError(failureText("Não foi possível ler", m_path, file.errorString()));
        content = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw IniFileError(failureText("Não foi possível ler", m_path, file.errorString()));
    }

    const std::vector<Line> lines = parseLines(content);
    const Location found = locate(lines, section, key);
    const QByteArray eol = lineEndingOf(content);
    const QByteArray keyLine = key.trimmed().toUtf8() + '=' + value.trimmed().toUtf8();

    if (found.keyLine >= 0) {
        const Line &line = lines[found.keyLine];
        content.replace(line.begin, line.textEnd - line.begin, keyLine);
    } else if (found.sectionEnd >= 0) {
        const Line &last = lines[found.sectionEnd];
        if (last.textEnd == last.end)
            content.insert(last.end, eol + keyLine);
        else
            content.insert(last.end, keyLine + eol);
    } else {
        if (!content.isEmpty() && !content.endsWith('\n') && content != kUtf8Bom)
            content += eol;
        content += '[' + section.trimmed().toUtf8() + ']' + eol + keyLine + eol;
    }

    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        throw IniFileError(failureText("Não foi possível gravar", m_path, file.errorString()));
    // Qt's commit() can report success after its own final flush failed: flush and check first.
    bool written = file.write(content) == content.size() && file.flush()
                   && file.error() == QFileDevice::NoError;
    QString reason = file.errorString();
#ifdef Q_OS_UNIX
    // On disk before it replaces the old file, so a crash leaves the old settings or the new.
    if (written && ::fsync(file.handle()) != 0) {
        written = false;
        reason = QString::fromLocal8Bit(std::strerror(errno));
    }
#endif
    if (!written) {
        file.cancelWriting();
        throw IniFileError(failureText("Não foi possível gravar", m_path, reason));
    }
    if (!file.commit())
        throw IniFileError(failureText("Não foi possível gravar", m_path, file.errorString()));
}
