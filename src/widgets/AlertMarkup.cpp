#include "widgets/AlertMarkup.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStringView>

#include <array>
#include <utility>

namespace {

constexpr int kMaxPointSize = 72;
constexpr int kMaxFaceLength = 100;
constexpr int kMaxEntityLength = 10; // "#x10FFFF" and the longest name fit

bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

bool isAsciiDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

bool isAsciiAlnum(QChar c)
{
    return isAsciiLetter(c) || isAsciiDigit(c);
}

bool isMarkupSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\n' || u == u'\r' || u == u'\f';
}

struct Tag
{
    QString name; // lower case
    bool closing = false;
    QList<std::pair<QString, QString>> attributes; // names lower case, values raw
};

int skipSpaces(QStringView s, int i)
{
    while (i < s.size() && isMarkupSpace(s[i]))
        ++i;
    return i;
}

// Reads the inside of "<...>"; false when it is not a well-formed tag.
bool parseTag(QStringView body, Tag &tag)
{
    const int n = body.size();
    int i = 0;
    if (i < n && body[i] == u'/') {
        tag.closing = true;
        ++i;
    }
    if (i >= n || !isAsciiLetter(body[i]))
        return false;
    const int nameStart = i;
    while (i < n && isAsciiAlnum(body[i]))
        ++i;
    tag.name = body.mid(nameStart, i - nameStart).toString().toLower();

    for (;;) {
        const int afterSpaces = skipSpaces(body, i);
        const bool separated = afterSpaces > i;
        i = afterSpaces;
        if (i >= n)
            return true;
        if (body[i] == u'/' && i == n - 1)
            return !tag.closing; // "<br/>"
        if (!separated || tag.closing)
            return false;

        const QChar first = body[i];
        if (!isAsciiLetter(first) && first != u'_' && first != u':')
            return false;
        const int attrStart = i;
        while (i < n && (isAsciiAlnum(body[i]) || body[i] == u'-' || body[i] == u'_'
                         || body[i] == u':' || body[i] == u'.'))
            ++i;
        const QString attrName = body.mid(attrStart, i - attrStart).toString().toLower();

        QString value;
        const int beforeEquals = skipSpaces(body, i);
        if (beforeEquals < n && body[beforeEquals] == u'=') {
            i = skipSpaces(body, beforeEquals + 1);
            if (i >= n)
                return false;
            const QChar quote = body[i];
            if (quote == u'"' || quote == u'\'') {
                const int close = body.indexOf(quote, i + 1);
                if (close < 0)
                    return false;
                value = body.mid(i + 1, close - i - 1).toString();
                i = close + 1;
                if (i < n && !isMarkupSpace(body[i]) && !(body[i] == u'/' && i == n - 1))
                    return false;
            } else {
                const int valueStart = i;
                while (i < n && !isMarkupSpace(body[i])) {
                    if (body[i] == u'"' || body[i] == u'\'' || body[i] == u'=')
                        return false;
                    ++i;
                }
                value = body.mid(valueStart, i - valueStart).toString();
            }
        }
        tag.attributes.append({attrName, value});
    }
}

// The text an entity at `at` ("&...;") stands for, and its length; false when it is none of
// the entities the alert decodes.
bool decodeEntity(QStringView s, int at, QString &decoded, int &length)
{
    int end = at + 1;
    const int limit = qMin<qsizetype>(s.size(), at + 2 + kMaxEntityLength);
    while (end < limit && (isAsciiAlnum(s[end]) || s[end] == u'#'))
        ++end;
    if (end >= limit || s[end] != u';')
        return false;
    const QStringView name = s.mid(at + 1, end - at - 1);
    length = end - at + 1;

    static const std::array<std::pair<const char16_t *, char16_t>, 6> named = {{
        {u"amp", u'&'}, {u"lt", u'<'}, {u"gt", u'>'}, {u"quot", u'"'}, {u"apos", u'\''},
        {u"nbsp", u'\u00A0'},
    }};
    for (const auto &[entityName, ch] : named) {
        if (name.compare(QStringView(entityName), Qt::CaseInsensitive) == 0) {
            decoded = QString(QChar(ch));
            return true;
        }
    }

    if (name.size() < 2 || name[0] != u'#')
        return false;
    bool ok = false;
    uint code = 0;
    if (name[1] == u'x' || name[1] == u'X')
        code = name.mid(2).toUInt(&ok, 16);
    else
        code = name.mid(1).toUInt(&ok, 10);
    if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return false;
    const char32_t ucs4 = code;
    decoded = QString::fromUcs4(&ucs4, 1);
    return true;
}

QString decodeEntities(QStringView s)
{
    QString out;
    out.reserve(s.size());
    for (int i = 0; i < s.size();) {
        QString decoded;
        int length = 0;
        if (s[i] == u'&' && decodeEntity(s, i, decoded, length)) {
            out += decoded;
            i += length;
        } else {
            out += s[i];
            ++i;
        }
    }
    return out;
}

QColor parseColor(const QString &value)
{
    const QString v = value.trimmed();
    if (v.size() != 7 || v[0] != u'#')
        return {};
    bool ok = false;
    const uint rgb = QStringView(v).mid(1).toUInt(&ok, 16);
    for (int i = 1; i < 7; ++i) {
        if (!isAsciiAlnum(v[i]))
            return {}; // toUInt would accept a sign or blanks
    }
    return ok ? QColor::fromRgb(QRgb(rgb)) : QColor();
}

// Collects runs and lines while the mark-up is read.
class Builder
{
public:
    void appendText(QChar c)
    {
        const char16_t u = c.unicode();
        m_pending += (u < 0x20 || u == 0x7F) ? QChar(u' ') : c;
    }

    void appendText(const QString &text)
    {
        for (const QChar c : text)
            appendText(c);
    }

    void apply(const Tag &tag)
    {
        if (tag.name == u"b") {
            setBold(tag.closing ? qMax(0, m_boldDepth - 1) : m_boldDepth + 1);
        } else if (tag.name == u"font") {
            if (tag.closing)
                popFont();
            else
                pushFont(tag);
        } else if (tag.name == u"br" && !tag.closing) {
            lineBreak();
        }
        // Any other tag is dropped: it has no effect and its inner text stays.
    }

    AlertText finish()
    {
        flush();
        // The empty line after a final BR is not shown.
        if (!m_line.runs.isEmpty()) {
            m_line.endFormat = format();
            m_text.lines.append(std::move(m_line));
        }
        return std::move(m_text);
    }

private:
    struct FontState { QString face; int pointSize = 0; QColor color; };

    AlertTextFormat format() const
    {
        AlertTextFormat f;
        f.bold = m_boldDepth > 0;
        f.face = m_font.face;
        f.pointSize = m_font.pointSize;
        f.color = m_font.color;
        return f;
    }

    void flush()
    {
        if (m_pending.isEmpty())
            return;
        const AlertTextFormat f = format();
        if (!m_line.runs.isEmpty() && m_line.runs.back().format == f)
            m_line.runs.back().text += m_pending;
        else
            m_line.runs.append({m_pending, f});
        m_pending.clear();
    }

    void setBold(int depth)
    {
        if ((depth > 0) != (m_boldDepth > 0))
            flush();
        m_boldDepth = depth;
    }

    void pushFont(const Tag &tag)
    {
        flush();
        m_fontStack.append(m_font);
        for (const auto &[name, rawValue] : tag.attributes) {
            const QString value = decodeEntities(rawValue);
            if (name == u"color") {
                const QColor color = parseColor(value);
                if (color.isValid())
                    m_font.color = color;
            } else if (name == u"face") {
                const QString face = value.trimmed();
                if (!face.isEmpty() && face.size() <= kMaxFaceLength)
                    m_font.face = face;
            } else if (name == u"size") {
                const QString digits = value.trimmed();
                bool ok = !digits.isEmpty();
                for (const QChar c : digits)
                    ok = ok && isAsciiDigit(c);
                const int points = ok ? alertFontPointSize(digits.toInt(&ok)) : 0;
                if (ok && points > 0)
                    m_font.pointSize = points;
            }
        }
    }

    void popFont()
    {
        if (m_fontStack.isEmpty())
            return;
        flush();
        m_font = m_fontStack.takeLast();
    }

    void lineBreak()
    {
        flush();
        m_line.endFormat = format();
        m_text.lines.append(std::move(m_line));
        m_line = AlertTextLine();
    }

    AlertText m_text;
    AlertTextLine m_line;
    QString m_pending;
    int m_boldDepth = 0;
    FontState m_font;
    QList<FontState> m_fontStack;
};

} // namespace

QString AlertText::plainText() const
{
    QStringList shown;
    for (const AlertTextLine &line : lines) {
        QString text;
        for (const AlertTextRun &run : line.runs)
            text += run.text;
        shown.append(text);
    }
    return shown.join(u'\n');
}

int alertFontPointSize(int sizeAttribute)
{
    static constexpr int steps[] = {8, 10, 12, 14, 16};
    if (sizeAttribute >= 1 && sizeAttribute <= 5)
        return steps[sizeAttribute - 1];
    if (sizeAttribute <= 0)
        return 0;
    return qMin(sizeAttribute, kMaxPointSize);
}

AlertText parseAlertMarkup(const QString &markup)
{
    Builder builder;
    const QStringView s(markup);
    const int n = s.size();
    int i = 0;
    while (i < n) {
        const QChar c = s[i];
        if (c == u'<') {
            // A tag ends at the first ">" and holds no "<": each character is looked at a
            // bounded number of times, so broken mark-up costs no more than good mark-up.
            int end = i + 1;
            while (end < n && s[end] != u'>' && s[end] != u'<')
                ++end;
            Tag tag;
            if (end < n && s[end] == u'>' && parseTag(s.mid(i + 1, end - i - 1), tag)) {
                builder.apply(tag);
                i = end + 1;
            } else {
                builder.appendText(c);
                ++i;
            }
        } else if (c == u'&') {
            QString decoded;
            int length = 0;
            if (decodeEntity(s, i, decoded, length)) {
                builder.appendText(decoded);
                i += length;
            } else {
                builder.appendText(c);
                ++i;
            }
        } else {
            builder.appendText(c);
            ++i;
        }
    }
    return builder.finish();
}

AlertTextLayout::AlertTextLayout(const AlertText &text, const QFont &baseFont,
                                 const QColor &baseColor, const QPaintDevice *device)
    : m_baseFont(baseFont), m_baseColor(baseColor)
{
    qreal y = 0;
    qreal width = 0;
    for (const AlertTextLine &line : text.lines) {
        PlacedLine placed;
        qreal ascent = 0;
        qreal descent = 0;
        qreal leading = 0;
        qreal x = 0;
        auto measure = [&](const QFontMetricsF &fm) {
            ascent = qMax(ascent, fm.ascent());
            descent = qMax(descent, fm.descent());
            leading = qMax(leading, fm.leading());
        };
        if (line.runs.isEmpty()) {
            const QFont font = fontFor(line.endFormat);
            measure(device ? QFontMetricsF(font, device) : QFontMetricsF(font));
        }
        for (const AlertTextRun &run : line.runs) {
            const QFont font = fontFor(run.format);
            const QFontMetricsF fm = device ? QFontMetricsF(font, device) : QFontMetricsF(font);
            measure(fm);
            placed.runs.append({run.text, font, colorFor(run.format), x});
            x += fm.horizontalAdvance(run.text);
        }
        placed.baseline = y + ascent;
        y += ascent + descent + leading;
        width = qMax(width, x);
        m_lines.append(std::move(placed));
    }
    m_size = QSizeF(width, y);
}

QFont AlertTextLayout::fontFor(const AlertTextFormat &format) const
{
    QFont font = m_baseFont;
    if (!format.face.isEmpty())
        font.setFamily(format.face);
    if (format.pointSize > 0)
        font.setPointSize(format.pointSize);
    font.setBold(format.bold);
    return font;
}

QColor AlertTextLayout::colorFor(const AlertTextFormat &format) const
{
    return format.color.isValid() ? format.color : m_baseColor;
}

void AlertTextLayout::paint(QPainter &painter, const QPointF &topLeft) const
{
    painter.save();
    for (const PlacedLine &line : m_lines) {
        for (const PlacedRun &run : line.runs) {
            painter.setFont(run.font);
            painter.setPen(run.color);
            painter.drawText(QPointF(topLeft.x() + run.x, topLeft.y() + line.baseline), run.text);
        }
    }
    painter.restore();
}
