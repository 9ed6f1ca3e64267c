#include "store/FilterExpression.h"

#include "store/ContactStore.h"

#include <QChar>
#include <QtEndian>
#include <QtAlgorithms>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Folding

namespace {

// Folds one code point into `out` (at most a few code points; usually exactly one, none for a
// combining mark). Letters are upper-cased; a character whose canonical decomposition carries
// non-spacing marks is replaced by what remains without them.
void foldCodePoint(char32_t c, std::vector<char32_t> &out)
{
    if (QChar::category(c) == QChar::Mark_NonSpacing)
        return;
    if (QChar::decompositionTag(c) == QChar::Canonical) {
        // QString::normalized decomposes fully (Ấ -> A + circumflex + acute in one step).
        const QString decomposed = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_D);
        std::vector<char32_t> kept;
        bool droppedMark = false;
        for (const char32_t d : decomposed.toUcs4()) {
            if (QChar::category(d) == QChar::Mark_NonSpacing)
                droppedMark = true;
            else
                kept.push_back(d);
        }
        // Only diacritics are removed: a decomposition without marks (a Hangul syllable into
        // its jamo, a compatibility sign into its letter) leaves the character as it is.
        if (droppedMark) {
            for (const char32_t d : kept)
                out.push_back(QChar::toUpper(d));
            return;
        }
    }
    out.push_back(QChar::toUpper(c));
}

// The fold of U+0000..U+00FF, computed once from the general rule so both paths agree.
// Every entry is a single BMP character below U+0800 (µ folds to Greek capital mu).
struct Latin1Table
{
    std::array<char16_t, 256> to{};
    Latin1Table()
    {
        std::vector<char32_t> folded;
        for (char32_t c = 0; c < 256; ++c) {
            folded.clear();
            foldCodePoint(c, folded);
            Q_ASSERT(folded.size() == 1 && folded[0] < 0x800);
            to[c] = folded.empty() ? char16_t(c) : char16_t(folded[0]);
        }
    }
};

const Latin1Table &latin1Table()
{
    static const Latin1Table table;
    return table;
}

inline char asciiUpper(char16_t c)
{
    return char(c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c);
}

inline char *putUtf8(char *p, char32_t c)
{
    if (c < 0x80) {
        *p++ = char(c);
    } else if (c < 0x800) {
        *p++ = char(0xC0 | (c >> 6));
        *p++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *p++ = char(0xE0 | (c >> 12));
        *p++ = char(0x80 | ((c >> 6) & 0x3F));
        *p++ = char(0x80 | (c & 0x3F));
    } else {
        *p++ = char(0xF0 | (c >> 18));
        *p++ = char(0x80 | ((c >> 12) & 0x3F));
        *p++ = char(0x80 | ((c >> 6) & 0x3F));
        *p++ = char(0x80 | (c & 0x3F));
    }
    return p;
}

// Walks `text`, handing each unit of folding to the sinks: ASCII and Latin-1 characters go
// through the fast table; everything else (including surrogate pairs, taken whole) through the
// general rule, told how many UTF-16 units are still to come. A lone surrogate is handed on
// unchanged.
template<typename Ascii, typename Latin1, typename General, typename Lone>
void walkFold(QStringView text, Ascii ascii, Latin1 latin1, General general, Lone lone)
{
    const char16_t *s = text.utf16();
    const qsizetype n = text.size();
    const Latin1Table &table = latin1Table();
    std::vector<char32_t> folded;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c < 0x80) {
            ascii(c);
        } else if (c < 0x100) {
            latin1(table.to[c]);
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
            folded.clear();
            foldCodePoint(QChar::surrogateToUcs4(c, s[i + 1]), folded);
            ++i;
            general(folded, n - i - 1);
        } else if (QChar::isSurrogate(c)) {
            lone(c);
        } else {
            folded.clear();
            foldCodePoint(c, folded);
            general(folded, n - i - 1);
        }
    }
}

} // namespace

QString foldText(QStringView text)
{
    // Built in a local buffer and copied out once, so the result holds no spare capacity
    // (the store keeps one folded copy per record). The fast paths write one unit per unit.
    QVarLengthArray<char16_t, 512> buffer(text.size());
    qsizetype at = 0;
    walkFold(
        text,
        [&](char16_t c) { buffer[at++] = char16_t(asciiUpper(c)); },
        [&](char16_t c) { buffer[at++] = c; },
        [&](const std::vector<char32_t> &folded, qsizetype remaining) {
            buffer.resize(std::max(buffer.size(), at + qsizetype(folded.size()) * 2 + remaining));
            for (const char32_t c : folded) {
                if (QChar::requiresSurrogates(c)) {
                    buffer[at++] = QChar::highSurrogate(c);
                    buffer[at++] = QChar::lowSurrogate(c);
                } else {
                    buffer[at++] = char16_t(c);
                }
            }
        },
        [&](char16_t c) { buffer[at++] = c; });
    return QString(reinterpret_cast<const QChar *>(buffer.constData()), at);
}

QByteArray foldUtf8(QStringView text)
{
    // A unit on a fast path becomes at most 2 bytes (ASCII 1, a Latin-1 fold below U+0800 2).
    QVarLengthArray<char, 1024> buffer(text.size() * 2);
    qsizetype at = 0;
    walkFold(
        text,
        [&](char16_t c) { buffer[at++] = asciiUpper(c); },
        [&](char16_t c) { at = putUtf8(buffer.data() + at, c) - buffer.data(); },
        [&](const std::vector<char32_t> &folded, qsizetype remaining) {
            buffer.resize(std::max(buffer.size(), at + qsizetype(folded.size()) * 4 + remaining * 2));
            for (const char32_t c : folded)
                at = putUtf8(buffer.data() + at, c) - buffer.data();
        },
        // As QString::toUtf8 writes a lone surrogate, so the two folds stay interchangeable.
        [&](char16_t) { buffer[at++] = '?'; });
    return QByteArray(buffer.constData(), at);
}

// ---------------------------------------------------------------------------------------------
// Pattern matching

namespace {

inline std::string_view sv(QByteArrayView v)
{
    return std::string_view(v.data(), size_t(v.size()));
}

// Up to eight bytes from `p` as one little-endian word; bytes past `count` read as zero.
inline quint64 loadWord(const char *p, size_t count)
{
    if (count >= 8)
        return qFromLittleEndian<quint64>(p);
    quint64 word = 0;
    for (size_t k = 0; k < count; ++k)
        word |= quint64(uchar(p[k])) << (8 * k);
    return word;
}

// Leftmost occurrence of a non-empty segment. Eight candidate positions are tested at once: a
// position is a candidate when its byte is the segment's first byte and the byte m-1 further on
// is its last; only candidates are compared whole. Searched texts are short (a name, a phone
// number), where this beats both a byte loop and a library call per text.
inline size_t findSegment(std::string_view text, std::string_view segment)
{
    const size_t m = segment.size();
    const size_t n = text.size();
    if (m > n)
        return std::string_view::npos;
    constexpr quint64 ones = 0x0101010101010101ULL;
    constexpr quint64 highs = 0x8080808080808080ULL;
    const char *t = text.data();
    const quint64 first = ones * uchar(segment.front());
    const quint64 last = ones * uchar(segment.back());
    const size_t positions = n - m + 1;
    for (size_t i = 0; i < positions; i += 8) {
        const size_t here = std::min<size_t>(8, positions - i);
        // A zero byte in `x` marks a candidate. The borrow trick below can also mark a byte just
        // above a real zero, never one below, so every candidate is checked whole, lowest first.
        const quint64 x = (loadWord(t + i, n - i) ^ first) | (loadWord(t + i + m - 1, n - i - m + 1) ^ last);
        quint64 candidates = (x - ones) & ~x & highs;
        if (here < 8)
            candidates &= (quint64(1) << (8 * here)) - 1;
        while (candidates) {
            const size_t at = i + size_t(qCountTrailingZeroBits(candidates) / 8);
            if (t[at] == segment.front() && t[at + m - 1] == segment.back()
                && (m <= 2 || std::memcmp(t + at + 1, segment.data() + 1, m - 2) == 0))
                return at;
            candidates &= candidates - 1;
        }
    }
    return std::string_view::npos;
}

// A "%" pattern split once: the text must begin with `prefix`, end with `suffix`, and hold the
// middle segments in order, without overlap, between them.
struct SplitPattern
{
    QByteArray bytes;
    bool wildcard = false;
    std::string_view prefix, suffix;
    std::vector<std::string_view> middles; // never empty segments

    explicit SplitPattern(QByteArray utf8) : bytes(std::move(utf8))
    {
        const std::string_view all(bytes.constData(), size_t(bytes.size()));
        const size_t first = all.find('%');
        if (first == std::string_view::npos) {
            prefix = all;
            return;
        }
        wildcard = true;
        const size_t last = all.rfind('%');
        prefix = all.substr(0, first);
        suffix = all.substr(last + 1);
        size_t from = first + 1;
        while (from < last) {
            const size_t next = all.find('%', from);
            if (next > from)
                middles.push_back(all.substr(from, next - from));
            from = next + 1;
        }
    }

    bool matches(std::string_view text) const
    {
        if (!wildcard)
            return text == prefix;
        if (text.size() < prefix.size() + suffix.size() || !text.starts_with(prefix)
            || !text.ends_with(suffix))
            return false;
        // Leftmost placement of each middle segment leaves the most room for the rest, so it
        // finds a match whenever one exists.
        std::string_view window = text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
        for (const std::string_view segment : middles) {
            const size_t at = findSegment(window, segment);
            if (at == std::string_view::npos)
                return false;
            window.remove_prefix(at + segment.size());
        }
        return true;
    }
};

} // namespace

bool likeMatch(QByteArrayView text, QByteArrayView pattern)
{
    const std::string_view t = sv(text), pat = sv(pattern);
    const size_t first = pat.find('%');
    if (first == std::string_view::npos)
        return t == pat;
    const size_t last = pat.rfind('%');
    const std::string_view prefix = pat.substr(0, first), suffix = pat.substr(last + 1);
    if (t.size() < prefix.size() + suffix.size() || !t.starts_with(prefix) || !t.ends_with(suffix))
        return false;
    std::string_view window = t.substr(prefix.size(), t.size() - prefix.size() - suffix.size());
    size_t from = first + 1;
    while (from < last) {
        const size_t next = pat.find('%', from);
        const std::string_view segment = pat.substr(from, next - from);
        if (!segment.empty()) {
            const size_t at = findSegment(window, segment);
            if (at == std::string_view::npos)
                return false;
            window.remove_prefix(at + segment.size());
        }
        from = next + 1;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// The tree

namespace {

class Always final : public FilterExpression
{
public:
    bool matches(const FilterRecord &) const override { return true; }
};

class IsNotNull final : public FilterExpression
{
public:
    explicit IsNotNull(int field) : m_field(field) {}
    bool matches(const FilterRecord &record) const override { return !record.isNull(m_field); }

private:
    int m_field;
};

class UpperLike final : public FilterExpression
{
public:
    UpperLike(int field, const QString &pattern) : m_field(field), m_pattern(pattern.toUtf8()) {}
    bool matches(const FilterRecord &record) const override
    {
        if (record.isNull(m_field))
            return false;
        QByteArray scratch;
        return m_pattern.matches(sv(record.folded(m_field, scratch)));
    }

private:
    int m_field;
    SplitPattern m_pattern;
};

using Children = std::vector<std::unique_ptr<const FilterExpression>>;

// "and" and "or" hold all their operands side by side, so a long chain never makes a deep tree.
class AllOf final : public FilterExpression
{
public:
    explicit AllOf(Children children) : m_children(std::move(children)) {}
    bool matches(const FilterRecord &record) const override
    {
        for (const auto &child : m_children)
            if (!child->matches(record))
                return false;
        return true;
    }

private:
    Children m_children;
};

class AnyOf final : public FilterExpression
{
public:
    explicit AnyOf(Children children) : m_children(std::move(children)) {}
    bool matches(const FilterRecord &record) const override
    {
        for (const auto &child : m_children)
            if (child->matches(record))
                return true;
        return false;
    }

private:
    Children m_children;
};

// ---------------------------------------------------------------------------------------------
// The parser

// Deep enough for any hand-written text, shallow enough to keep the parser off the stack's end.
constexpr int kMaxNesting = 200;

class Parser
{
public:
    explicit Parser(const QString &text) : m_text(text) { advance(); }

    std::unique_ptr<const FilterExpression> parseAll()
    {
        auto expression = parseOr();
        if (m_token.kind != Token::End)
            fail(m_token.start, QStringLiteral("esperado \"and\", \"or\" ou o fim do texto"));
        return expression;
    }

private:
    struct Token
    {
        enum Kind { End, Word, Open, Close, Literal, Other } kind = End;
        qsizetype start = 0;  // index into the text
        QStringView word;     // Word
        QString literal;      // Literal, apostrophes undoubled
    };

    [[noreturn]] void fail(qsizetype index, const QString &what) const
    {
        // Positions count characters, a surrogate pair being one.
        qsizetype position = 1;
        for (qsizetype i = 0; i < index && i < m_text.size(); ++i)
            if (!m_text.at(i).isLowSurrogate() || i == 0 || !m_text.at(i - 1).isHighSurrogate())
                ++position;
        throw StoreError(QStringLiteral("Filtro inválido na posição %1: %2").arg(position).arg(what).toStdString());
    }

    void advance()
    {
        qsizetype i = m_pos;
        const qsizetype n = m_text.size();
        while (i < n && m_text.at(i).isSpace())
            ++i;
        m_token = Token();
        m_token.start = i;
        if (i == n) {
            m_pos = i;
            return;
        }
        const QChar c = m_text.at(i);
        if (c == u'(' || c == u')') {
            m_token.kind = c == u'(' ? Token::Open : Token::Close;
            m_pos = i + 1;
        } else if (c == u'\'') {
            QString value;
            qsizetype j = i + 1;
            for (;;) {
                const qsizetype close = m_text.indexOf(u'\'', j);
                if (close < 0)
                    fail(i, QStringLiteral("literal sem o apóstrofo de fechamento"));
                value += QStringView(m_text).mid(j, close - j);
                if (close + 1 < n && m_text.at(close + 1) == u'\'') {
                    value += u'\'';
                    j = close + 2;
                } else {
                    j = close + 1;
                    break;
                }
            }
            m_token.kind = Token::Literal;
            m_token.literal = value;
            m_pos = j;
        } else if (c.isLetter() || c == u'_') {
            qsizetype j = i + 1;
            while (j < n && (m_text.at(j).isLetterOrNumber() || m_text.at(j) == u'_'))
                ++j;
            m_token.kind = Token::Word;
            m_token.word = QStringView(m_text).mid(i, j - i);
            m_pos = j;
        } else {
            m_token.kind = Token::Other;
            m_pos = i + 1;
        }
    }

    bool atKeyword(QStringView keyword) const
    {
        return m_token.kind == Token::Word && m_token.word.compare(keyword, Qt::CaseInsensitive) == 0;
    }

    static bool isKeyword(QStringView word)
    {
        for (const char16_t *k : {u"and", u"or", u"is", u"not", u"null", u"like", u"upper"})
            if (word.compare(QStringView(k), Qt::CaseInsensitive) == 0)
                return true;
        return false;
    }

    void expectKeyword(QStringView keyword)
    {
        if (!atKeyword(keyword))
            fail(m_token.start, QStringLiteral("esperado \"%1\"").arg(keyword));
        advance();
    }

    void expect(Token::Kind kind, const QString &what)
    {
        if (m_token.kind != kind)
            fail(m_token.start, QStringLiteral("esperado %1").arg(what));
        advance();
    }

    int expectField(const QString &whatElse)
    {
        if (m_token.kind != Token::Word || isKeyword(m_token.word))
            fail(m_token.start, QStringLiteral("esperado %1").arg(whatElse));
        const int field = ContactStore::fieldIndex(m_token.word.toString());
        if (field < 0)
            fail(m_token.start, QStringLiteral("campo desconhecido '%1'").arg(m_token.word));
        advance();
        return field;
    }

    std::unique_ptr<const FilterExpression> parseOr()
    {
        Children operands;
        operands.push_back(parseAnd());
        while (atKeyword(u"or")) {
            advance();
            operands.push_back(parseAnd());
        }
        if (operands.size() == 1)
            return std::move(operands.front());
        return std::make_unique<AnyOf>(std::move(operands));
    }

    std::unique_ptr<const FilterExpression> parseAnd()
    {
        Children operands;
        operands.push_back(parseCondition());
        while (atKeyword(u"and")) {
            advance();
            operands.push_back(parseCondition());
        }
        if (operands.size() == 1)
            return std::move(operands.front());
        return std::make_unique<AllOf>(std::move(operands));
    }

    std::unique_ptr<const FilterExpression> parseCondition()
    {
        if (m_token.kind == Token::Open) {
            if (++m_nesting > kMaxNesting)
                fail(m_token.start, QStringLiteral("parênteses aninhados demais"));
            advance();
            auto inner = parseOr();
            expect(Token::Close, QStringLiteral("\"and\", \"or\" ou \")\""));
            --m_nesting;
            return inner;
        }
        if (atKeyword(u"upper")) {
            advance();
            expect(Token::Open, QStringLiteral("\"(\""));
            const int field = expectField(QStringLiteral("um nome de campo"));
            expect(Token::Close, QStringLiteral("\")\""));
            expectKeyword(u"like");
            if (m_token.kind != Token::Literal)
                fail(m_token.start, QStringLiteral("esperado um literal entre apóstrofos"));
            auto like = std::make_unique<UpperLike>(field, m_token.literal);
            advance();
            return like;
        }
        const int field = expectField(QStringLiteral("um nome de campo, \"upper\" ou \"(\""));
        expectKeyword(u"is");
        expectKeyword(u"not");
        expectKeyword(u"null");
        return std::make_unique<IsNotNull>(field);
    }

    const QString &m_text;
    qsizetype m_pos = 0;
    Token m_token;
    int m_nesting = 0;
};

} // namespace

std::shared_ptr<const FilterExpression> FilterExpression::parse(const QString &text)
{
    // A blank text sets no condition: every record passes, as with no filter at all.
    if (text.trimmed().isEmpty())
        return std::make_shared<Always>();
    return Parser(text).parseAll();
}
