// The filter language: folding, "%" matching, parsing with its errors, evaluation, and the texts
// the search row and the letter index build.

#include "store/ContactStore.h"
#include "store/FilterExpression.h"
#include "store/SearchFilter.h"

#include <QRandomGenerator>
#include <QTest>

#include <array>
#include <optional>

namespace {

// A contact as the evaluator sees it; an absent value is a null field.
struct FakeContact
{
    std::optional<QString> nome, telefone, celular, comercial, categoria;
};

class FakeRecord final : public FilterRecord
{
public:
    explicit FakeRecord(const FakeContact &contact) : m_contact(contact) {}

    bool isNull(int field) const override { return !value(field).has_value(); }

    QByteArrayView folded(int field, QByteArray &scratch) const override
    {
        scratch = foldUtf8(value(field).value_or(QString()));
        return scratch;
    }

private:
    std::optional<QString> value(int field) const
    {
        switch (field) {
        case ContactStore::Nome: return m_contact.nome;
        case ContactStore::Telefone: return m_contact.telefone;
        case ContactStore::Celular: return m_contact.celular;
        case ContactStore::Comercial: return m_contact.comercial;
        case ContactStore::Categoria: return m_contact.categoria;
        default: return std::nullopt;
        }
    }

    const FakeContact &m_contact;
};

// A record whose every field holds the given folded bytes.
class FoldedRecord final : public FilterRecord
{
public:
    explicit FoldedRecord(QByteArrayView folded) : m_folded(folded) {}
    bool isNull(int) const override { return false; }
    QByteArrayView folded(int, QByteArray &) const override { return m_folded; }

private:
    QByteArrayView m_folded;
};

const std::nullopt_t none = std::nullopt;

// Folded names: ANA SOUZA, ANDRE LIMA, ANABELA, BARBARA, BRUNO, JOAO D'AVILA, JOAO PEDRO,
// ANGELA, ALICE, MARIA_CLARA, MARIA CLARA, (no name), 50% OFF.
const std::array<FakeContact, 13> &contacts()
{
    static const std::array<FakeContact, 13> list = {{
        {u"Ana Souza"_qs, u"3333-1234"_qs, none, none, u"Cliente"_qs},
        {u"andré lima"_qs, none, u"9999-3333"_qs, none, u"cliente vip"_qs},
        {u"Anabela"_qs, none, none, none, none},
        {u"Bárbara"_qs, u"1111"_qs, none, u"2299-0000"_qs, u"Fornecedor"_qs},
        {u"Bruno"_qs, u"4444"_qs, none, none, none},
        {u"João d'Ávila"_qs, u"3232"_qs, none, none, u"Família"_qs},
        {u"JOÃO Pedro"_qs, none, none, u"5555"_qs, u"Clientela"_qs},
        {u"Ângela"_qs, none, none, none, u"Amiga"_qs},
        {u"Alice"_qs, none, u"8899"_qs, none, u"cliente"_qs},
        {u"Maria_Clara"_qs, none, none, none, none},
        {u"Maria Clara"_qs, none, none, none, none},
        {none, u"3333-0000"_qs, none, none, u"Cliente"_qs},
        {u"50% Off"_qs, none, none, none, none},
    }};
    return list;
}

// The names of the contacts that pass, "-" for the nameless one, joined by "|".
QString passingNames(const FilterExpression &expression)
{
    QStringList names;
    for (const FakeContact &contact : contacts())
        if (expression.matches(FakeRecord(contact)))
            names << contact.nome.value_or(u"-"_qs);
    return names.join(u'|');
}

QString errorOf(const QString &text)
{
    try {
        FilterExpression::parse(text);
    } catch (const StoreError &error) {
        return QString::fromUtf8(error.what());
    }
    return QString();
}

} // namespace

class FilterTest : public QObject
{
    Q_OBJECT

private slots:
    void fold_data();
    void fold();
    void likeMatch_data();
    void likeMatch();
    void likeMatchAgreesWithPlainMatcher();
    void filterTexts_data();
    void filterTexts();
    void matches_data();
    void matches();
    void errors_data();
    void errors();
    void longChainsStayFlat();
    void throughTheStore_data();
    void throughTheStore();
    void storeRejectsMalformedText();
    void searchStaysRightThroughChanges();
};

void FilterTest::fold_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("folded");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("ascii") << u"ana Souza 33-99 %_'"_qs << u"ANA SOUZA 33-99 %_'"_qs;
    QTest::newRow("portuguese") << u"João Conceição Ângela Lúcia Vânia Zoé Ênio"_qs
                                << u"JOAO CONCEICAO ANGELA LUCIA VANIA ZOE ENIO"_qs;
    QTest::newRow("latin-1 capitals") << u"ÀÁÂÃÄÅÇÈÉÊËÌÍÎÏÑÒÓÔÕÖÙÚÛÜÝ"_qs << u"AAAAAACEEEEIIIINOOOOOUUUUY"_qs;
    QTest::newRow("latin-1 small") << u"àáâãäåçèéêëìíîïñòóôõöùúûüýÿ"_qs << u"AAAAAACEEEEIIIINOOOOOUUUUYY"_qs;
    QTest::newRow("letters without marks") << u"æøðþ"_qs << u"ÆØÐÞ"_qs;
    QTest::newRow("sharp s stays") << u"Straße"_qs << u"STRAßE"_qs;
    QTest::newRow("micro sign") << u"µ"_qs << u"\u039C"_qs;
    QTest::newRow("signs stay") << u"ª º ° § ½ × ÷ ¿"_qs << u"ª º ° § ½ × ÷ ¿"_qs;
    QTest::newRow("combining marks dropped") << u"Joa\u0303o Conc\u0327a\u0303o"_qs << u"JOAO CONCAO"_qs;
    QTest::newRow("two marks on one letter") << u"\u1EA5 \u1EDD"_qs << u"A O"_qs; // ấ ờ
    QTest::newRow("greek") << u"άλφα"_qs << u"ΑΛΦΑ"_qs;
    QTest::newRow("cyrillic") << u"йод"_qs << u"ИОД"_qs;
    QTest::newRow("hangul syllable kept") << u"가"_qs << u"가"_qs;
    QTest::newRow("surrogate pair upper-cased") << u"x\U00010428y"_qs << u"X\U00010400Y"_qs;
    QTest::newRow("surrogate pair kept") << u"\U0001F600a"_qs << u"\U0001F600A"_qs;
    QTest::newRow("lone high surrogate")
        << (u"a"_qs + QChar(0xD800) + u"b"_qs) << (u"A"_qs + QChar(0xD800) + u"B"_qs);
    QTest::newRow("lone low surrogate at start")
        << (QString(QChar(0xDC00)) + u"é"_qs) << (QString(QChar(0xDC00)) + u"E"_qs);
    QTest::newRow("high surrogate at end") << (u"ç"_qs + QChar(0xD83D)) << (u"C"_qs + QChar(0xD83D));
    QTest::newRow("long mixed") << u"ã"_qs.repeated(700) + u"\u1EA5"_qs.repeated(700)
                                << u"A"_qs.repeated(1400);
}

void FilterTest::fold()
{
    QFETCH(QString, text);
    QFETCH(QString, folded);
    QCOMPARE(foldText(text), folded);
    // The record keeps the UTF-8 fold; the program's patterns come from foldText. They must agree.
    QCOMPARE(foldUtf8(text), foldText(text).toUtf8());
    QCOMPARE(foldText(folded), folded);
}

void FilterTest::likeMatch_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<bool>("matches");

    const auto row = [](const char *name, const char *text, const char *pattern, bool matches) {
        QTest::newRow(name) << QByteArray(text) << QByteArray(pattern) << matches;
    };
    row("empty both", "", "", true);
    row("empty text, percent", "", "%", true);
    row("empty text, two percents", "", "%%", true);
    row("empty text, letter", "", "A", false);
    row("empty pattern", "A", "", false);
    row("exact", "ABC", "ABC", true);
    row("whole text only", "ABC", "AB", false);
    row("longer pattern", "AB", "ABC", false);
    row("percent alone", "ABC", "%", true);
    row("two percents", "ABC", "%%", true);
    row("prefix", "ABC", "A%", true);
    row("wrong prefix", "ABC", "B%", false);
    row("suffix", "ABC", "%C", true);
    row("wrong suffix", "ABC", "%B", false);
    row("contains", "ABC", "%B%", true);
    row("not contained", "ABC", "%D%", false);
    row("a%e on Alice", "ALICE", "A%E", true);
    row("a%e run empty", "AE", "A%E", true);
    row("prefix and suffix may not overlap", "A", "A%A", false);
    row("prefix and suffix meet", "AA", "A%A", true);
    row("middles in order", "XAYBZ", "%A%B%", true);
    row("middles out of order", "XBYAZ", "%A%B%", false);
    row("middle between prefix and suffix", "ABA", "A%B%A", true);
    row("middle may not use the suffix", "ABA", "A%A%A", false);
    row("middles may not overlap", "AAA", "%AA%AA%", false);
    row("middles side by side", "AAAA", "%AA%AA%", true);
    row("leftmost middle leaves room", "ABXAB", "%AB%X%", true);
    row("empty segments", "AB", "%%A%%%B%%", true);
    row("underscore is ordinary", "A_C", "A_C", true);
    row("underscore matches only itself", "ABC", "A_C", false);
    row("percent in text", "50% OFF", "50%", true);
    row("utf-8 middle", "JO\xC3\x83O", "%\xC3\x83%", true);
    row("utf-8 differs", "JO\xC3\x83O", "%\xC3\x95%", false);
    row("utf-8 suffix", "JO\xC3\x83O", "%\xC3\x83O", true);
    // The search tests eight places at a time; a near miss right after a real first-and-last
    // match must still be compared whole.
    row("near miss next to a candidate", "89A99", "%8A99%", false);
    row("match after a near miss", "89A998A99", "%8A99%", true);
    row("match in the ninth place", "ABCDEFGH98", "%98%", true);
    row("match in the last places of a long text", "ABCDEFGHIJKLMNOPQ98", "%Q98%", true);
    row("no match in a long text", "ABCDEFGHIJKLMNOPQ98", "%Q89%", false);
}

void FilterTest::likeMatch()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, pattern);
    QFETCH(bool, matches);
    QCOMPARE(::likeMatch(text, pattern), matches);

    // The compiled filter splits the pattern once; it must give the same answer.
    QString literal = QString::fromUtf8(pattern);
    literal.replace(u'\'', u"''"_qs);
    const auto expression = FilterExpression::parse(u"upper(nome) like '"_qs + literal + u'\'');
    QCOMPARE(expression->matches(FoldedRecord(text)), matches);
}

namespace {

// "%" matching the slow, obvious way: a table of which text prefixes match which pattern prefixes.
bool plainLike(QByteArrayView text, QByteArrayView pattern)
{
    const qsizetype n = text.size(), m = pattern.size();
    std::vector<char> previous(size_t(n + 1), 0), current(size_t(n + 1), 0);
    previous[0] = 1;
    for (qsizetype j = 1; j <= m; ++j) {
        current.assign(size_t(n + 1), 0);
        const bool any = pattern[j - 1] == '%';
        current[0] = any && previous[0];
        for (qsizetype i = 1; i <= n; ++i)
            current[i] = any ? (previous[i] || current[i - 1])
                             : (previous[i - 1] && text[i - 1] == pattern[j - 1]);
        previous.swap(current);
    }
    return previous[size_t(n)];
}

} // namespace

// Random texts and patterns over a few bytes, among them zero and one bytes, repeated letters and
// UTF-8 pieces, across lengths that straddle the matcher's eight-byte steps.
void FilterTest::likeMatchAgreesWithPlainMatcher()
{
    const char alphabet[] = {'A', 'A', 'B', '9', '8', '\0', '\1', char(0xC3), char(0x81), char(0x80)};
    QRandomGenerator random(1211);
    auto randomBytes = [&](int length) {
        QByteArray bytes;
        for (int i = 0; i < length; ++i)
            bytes.append(alphabet[random.bounded(int(sizeof alphabet))]);
        return bytes;
    };
    for (int round = 0; round < 40000; ++round) {
        const QByteArray text = randomBytes(random.bounded(41));
        QByteArray pattern;
        const int pieces = 1 + random.bounded(3);
        for (int p = 0; p < pieces; ++p) {
            if (random.bounded(3) != 0)
                pattern.append('%');
            // Often a real piece of the text, so matches are not rare.
            if (random.bounded(2) == 0 && !text.isEmpty()) {
                const int from = random.bounded(int(text.size()));
                pattern.append(text.mid(from, 1 + random.bounded(12)));
            } else {
                pattern.append(randomBytes(1 + random.bounded(10)));
            }
        }
        if (random.bounded(2) == 0)
            pattern.append('%');
        QVERIFY2(::likeMatch(text, pattern) == plainLike(text, pattern),
                 qPrintable(u"text %1, pattern %2"_qs.arg(QString::fromLatin1(text.toHex()),
                                                          QString::fromLatin1(pattern.toHex()))));
    }
}

void FilterTest::filterTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("phones");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("expected");

    QTest::newRow("all empty") << QString() << QString() << QString() << QString();
    QTest::newRow("all three")
        << u"ana"_qs << u"99"_qs << u"clien"_qs
        << u" nome is not null  and upper(Nome) like '%ANA%' and upper(categoria) like '%CLIEN%'"
           " and (upper(telefone) like '%99%' or upper(celular) like '%99%' or upper(comercial) like '%99%')"_qs;
    QTest::newRow("name only") << u"ana"_qs << QString() << QString()
                               << u" nome is not null  and upper(Nome) like '%ANA%'"_qs;
    QTest::newRow("phones only")
        << QString() << u"3333"_qs << QString()
        << u" nome is not null  and (upper(telefone) like '%3333%' or upper(celular) like '%3333%'"
           " or upper(comercial) like '%3333%')"_qs;
    QTest::newRow("category only") << QString() << QString() << u"Cli"_qs
                                   << u" nome is not null  and upper(categoria) like '%CLI%'"_qs;
    QTest::newRow("blank name box") << u" "_qs << QString() << QString()
                                    << u" nome is not null  and upper(Nome) like '% %'"_qs;
    QTest::newRow("blanks everywhere")
        << u"  "_qs << u" "_qs << u" "_qs
        << u" nome is not null  and upper(Nome) like '%  %' and upper(categoria) like '% %'"
           " and (upper(telefone) like '% %' or upper(celular) like '% %' or upper(comercial) like '% %')"_qs;
    QTest::newRow("apostrophe") << u"d'Ávila"_qs << QString() << QString()
                                << u" nome is not null  and upper(Nome) like '%D''AVILA%'"_qs;
    QTest::newRow("apostrophes only") << QString() << QString() << u"''"_qs
                                      << u" nome is not null  and upper(categoria) like '%''''%'"_qs;
    QTest::newRow("accents") << u"joão"_qs << QString() << u"Família"_qs
                             << u" nome is not null  and upper(Nome) like '%JOAO%'"
                                " and upper(categoria) like '%FAMILIA%'"_qs;
    QTest::newRow("user wildcard") << u"a%e"_qs << QString() << QString()
                                   << u" nome is not null  and upper(Nome) like '%A%E%'"_qs;
}

void FilterTest::filterTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, phones);
    QFETCH(QString, category);
    QFETCH(QString, expected);

    const QString text = searchFilterText(name, phones, category);
    QCOMPARE(text, expected);
    QCOMPARE(text.isNull(), expected.isNull());
    if (!text.isEmpty())
        QCOMPARE(errorOf(text), QString());
}

void FilterTest::matches_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("names");

    const QString everyName = u"Ana Souza|andré lima|Anabela|Bárbara|Bruno|João d'Ávila|JOÃO Pedro|"
                              "Ângela|Alice|Maria_Clara|Maria Clara|50% Off"_qs;

    QTest::newRow("letter a") << letterFilterText(u"a"_qs) << u"Ana Souza|andré lima|Anabela|Ângela|Alice"_qs;
    QTest::newRow("letter b") << letterFilterText(u"b"_qs) << u"Bárbara|Bruno"_qs;
    QTest::newRow("letter j") << letterFilterText(u"j"_qs) << u"João d'Ávila|JOÃO Pedro"_qs;
    QTest::newRow("letter z") << letterFilterText(u"z"_qs) << QString();
    QTest::newRow("empty text") << QString() << everyName.left(everyName.lastIndexOf(u'|')) + u"|-|50% Off"_qs;
    QTest::newRow("blank text") << u" \t "_qs << everyName.left(everyName.lastIndexOf(u'|')) + u"|-|50% Off"_qs;
    QTest::newRow("is not null") << u"nome is not null"_qs << everyName;

    const auto search = [](const char *name, const QString &n, const QString &t, const QString &c,
                           const QString &names) {
        QTest::newRow(name) << searchFilterText(n, t, c) << names;
    };
    search("name ana", u"ana"_qs, {}, {}, u"Ana Souza|Anabela"_qs);
    search("name joao", u"joao"_qs, {}, {}, u"João d'Ávila|JOÃO Pedro"_qs);
    search("name João", u"João"_qs, {}, {}, u"João d'Ávila|JOÃO Pedro"_qs);
    search("name JOÃO", u"JOÃO"_qs, {}, {}, u"João d'Ávila|JOÃO Pedro"_qs);
    search("name angela", u"angela"_qs, {}, {}, u"Ângela"_qs);
    search("name with typed wildcard", u"a%e"_qs, {}, {},
           u"andré lima|Anabela|JOÃO Pedro|Ângela|Alice"_qs);
    search("name with apostrophe", u"d'ávila"_qs, {}, {}, u"João d'Ávila"_qs);
    search("name apostrophe alone", u"'"_qs, {}, {}, u"João d'Ávila"_qs);
    search("underscore is a character", u"a_c"_qs, {}, {}, u"Maria_Clara"_qs);
    search("percent typed", u"%"_qs, {}, {}, everyName);
    search("percent in a name", u"50%"_qs, {}, {}, u"50% Off"_qs);
    search("blank name box", u" "_qs, {}, {},
           u"Ana Souza|andré lima|João d'Ávila|JOÃO Pedro|Maria Clara|50% Off"_qs);
    search("phones, nameless left out", {}, u"3333"_qs, {}, u"Ana Souza|andré lima"_qs);
    search("phones in any of three", {}, u"99"_qs, {}, u"andré lima|Bárbara|Alice"_qs);
    search("category", {}, {}, u"clien"_qs, u"Ana Souza|andré lima|JOÃO Pedro|Alice"_qs);
    search("category accents", {}, {}, u"FAMILIA"_qs, u"João d'Ávila"_qs);
    search("all three boxes", u"a"_qs, u"99"_qs, u"clien"_qs, u"andré lima|Alice"_qs);
    search("nothing matches", u"ana"_qs, u"99"_qs, u"clien"_qs, QString());

    QTest::newRow("and binds tighter than or")
        << u"upper(nome) like 'ANA%' or upper(nome) like 'B%' and categoria is not null"_qs
        << u"Ana Souza|Anabela|Bárbara"_qs;
    QTest::newRow("parentheses")
        << u"(upper(nome) like 'ANA%' or upper(nome) like 'B%') and categoria is not null"_qs
        << u"Ana Souza|Bárbara"_qs;
    QTest::newRow("nested parentheses")
        << u"((categoria is not null) and ((telefone is not null) or (comercial is not null)))"_qs
        << u"Ana Souza|Bárbara|João d'Ávila|JOÃO Pedro|-"_qs;
    QTest::newRow("like is false for null") << u"upper(celular) like '%'"_qs << u"andré lima|Alice"_qs;
    QTest::newRow("like on a field never set") << u"upper(cidade) like '%'"_qs << QString();
    QTest::newRow("pattern is not folded") << u"upper(nome) like 'ana%'"_qs << QString();
    QTest::newRow("keywords in capitals")
        << u"NOME IS NOT NULL AND UPPER(NOME) LIKE 'B%' Or Upper(Nome) Like 'ALICE'"_qs
        << u"Bárbara|Bruno|Alice"_qs;
    QTest::newRow("free blanks") << u"  upper ( nOmE )like'B%'\t\n"_qs << u"Bárbara|Bruno"_qs;
    QTest::newRow("no blanks") << u"(upper(nome)like'B%')or(upper(nome)like'ALICE')"_qs
                               << u"Bárbara|Bruno|Alice"_qs;
    QTest::newRow("doubled apostrophe") << u"upper(nome) like '%D''A%'"_qs << u"João d'Ávila"_qs;
    QTest::newRow("empty literal") << u"upper(nome) like ''"_qs << QString();
}

void FilterTest::matches()
{
    QFETCH(QString, filter);
    QFETCH(QString, names);
    QCOMPARE(passingNames(*FilterExpression::parse(filter)), names);
}

void FilterTest::errors_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("message");

    const auto row = [](const char *name, const QString &filter, int position, const QString &what) {
        QTest::newRow(name) << filter << u"Filtro inválido na posição %1: %2"_qs.arg(position).arg(what);
    };
    row("literal expected", u"upper(nome) like ANA"_qs, 18, u"esperado um literal entre apóstrofos"_qs);
    row("unknown field", u"upper(xyz) like 'A'"_qs, 7, u"campo desconhecido 'xyz'"_qs);
    row("unknown field in test", u"nome is not null and cidadee is not null"_qs, 22,
        u"campo desconhecido 'cidadee'"_qs);
    row("unterminated literal", u"upper(nome) like 'ANA"_qs, 18, u"literal sem o apóstrofo de fechamento"_qs);
    row("doubled apostrophe at end", u"upper(nome) like 'ANA''"_qs, 18,
        u"literal sem o apóstrofo de fechamento"_qs);
    row("trailing garbage", u"nome is not null nome"_qs, 18, u"esperado \"and\", \"or\" ou o fim do texto"_qs);
    row("stray character", u"nome is not null # "_qs, 18, u"esperado \"and\", \"or\" ou o fim do texto"_qs);
    row("stray closing parenthesis", u"nome is not null)"_qs, 17,
        u"esperado \"and\", \"or\" ou o fim do texto"_qs);
    row("unclosed parenthesis", u"(nome is not null"_qs, 18, u"esperado \"and\", \"or\" ou \")\""_qs);
    row("dangling and", u"nome is not null and"_qs, 21, u"esperado um nome de campo, \"upper\" ou \"(\""_qs);
    row("keyword as field", u"and is not null"_qs, 1, u"esperado um nome de campo, \"upper\" ou \"(\""_qs);
    row("missing not", u"nome is null"_qs, 9, u"esperado \"not\""_qs);
    row("missing null", u"nome is not"_qs, 12, u"esperado \"null\""_qs);
    row("missing is", u"nome like 'A'"_qs, 6, u"esperado \"is\""_qs);
    row("upper without parenthesis", u"upper nome"_qs, 7, u"esperado \"(\""_qs);
    row("upper without field", u"upper() like 'A'"_qs, 7, u"esperado um nome de campo"_qs);
    row("upper unclosed", u"upper(nome like 'A'"_qs, 12, u"esperado \")\""_qs);
    row("missing like", u"upper(nome) = 'A'"_qs, 13, u"esperado \"like\""_qs);
    row("empty parentheses", u"()"_qs, 2, u"esperado um nome de campo, \"upper\" ou \"(\""_qs);
    row("position counts characters", u"upper(nome) like '\U0001D49C\U0001D49C' x"_qs, 23,
        u"esperado \"and\", \"or\" ou o fim do texto"_qs);
    row("nesting too deep", u"("_qs.repeated(1000), 201, u"parênteses aninhados demais"_qs);
}

void FilterTest::errors()
{
    QFETCH(QString, filter);
    QFETCH(QString, message);
    QCOMPARE(errorOf(filter), message);
}

void FilterTest::longChainsStayFlat()
{
    // Hundreds of thousands of operands must neither overflow the stack while parsing, nor
    // while evaluating, nor while the tree is destroyed.
    const int count = 200000;
    const QString ands = QStringList(count, u"nome is not null"_qs).join(u" and "_qs);
    QCOMPARE(passingNames(*FilterExpression::parse(ands)).count(u'|'), 11);
    const QString ors = QStringList(count, u"upper(nome) like 'X'"_qs).join(u" or "_qs)
                      + u" or upper(nome) like 'B%'"_qs;
    QCOMPARE(passingNames(*FilterExpression::parse(ors)), u"Bárbara|Bruno"_qs);
}

namespace {

// A store holding a few contacts, one of whose names was erased after it was saved.
void fillStore(ContactStore &store)
{
    struct Row { const char16_t *nome, *telefone, *celular, *categoria; };
    const Row rows[] = {
        {u"Bárbara", u"1111", nullptr, u"Fornecedor"},
        {u"Ana", u"3333-1234", nullptr, u"Cliente"},
        {u"andré", nullptr, u"99-3333", u"cliente vip"},
        {u"Ângela", nullptr, nullptr, u"Amiga"},
        {u"João d'Ávila", u"3232", nullptr, u"Família"},
        {u"JOÃO Pedro", nullptr, nullptr, u"Clientela"},
        {u"Sem Nome", u"3333-0000", nullptr, u"Cliente"},
    };
    for (const Row &row : rows) {
        store.Insert();
        store.SetAsString(u"Nome"_qs, QString::fromUtf16(row.nome));
        if (row.telefone)
            store.SetAsString(u"Telefone"_qs, QString::fromUtf16(row.telefone));
        if (row.celular)
            store.SetAsString(u"Celular"_qs, QString::fromUtf16(row.celular));
        store.SetAsString(u"Categoria"_qs, QString::fromUtf16(row.categoria));
        store.Commit();
    }
    store.SetFiltered(false);
    store.SetFilter(letterFilterText(u"s"_qs));
    store.SetFiltered(true);
    store.Edit();
    store.SetAsString(u"Nome"_qs, QString());
    store.Commit();
    store.SetFiltered(false);
}

// The visible contacts' names, walked as the report walks them, sorted so the order the store
// keeps does not matter here; "-" for a contact without a name.
QString visibleNames(ContactStore &store)
{
    QStringList names;
    for (store.MoveFirst(); !store.AtEnd(); store.Next())
        names << (store.IsNull(u"Nome"_qs) ? u"-"_qs : store.AsString(u"Nome"_qs));
    names.sort();
    return names.join(u'|');
}

QString sortedNames(const QString &names)
{
    QStringList list = names.split(u'|', Qt::SkipEmptyParts);
    list.sort();
    return list.join(u'|');
}

} // namespace

void FilterTest::throughTheStore_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("names");

    QTest::newRow("letter a") << letterFilterText(u"a"_qs) << u"Ana|andré|Ângela"_qs;
    QTest::newRow("letter j") << letterFilterText(u"j"_qs) << u"João d'Ávila|JOÃO Pedro"_qs;
    QTest::newRow("name joão") << searchFilterText(u"joão"_qs, {}, {}) << u"João d'Ávila|JOÃO Pedro"_qs;
    QTest::newRow("name JOAO") << searchFilterText(u"JOAO"_qs, {}, {}) << u"João d'Ávila|JOÃO Pedro"_qs;
    QTest::newRow("name d'ávila") << searchFilterText(u"d'ávila"_qs, {}, {}) << u"João d'Ávila"_qs;
    QTest::newRow("name a%e") << searchFilterText(u"a%e"_qs, {}, {}) << u"andré|Ângela|JOÃO Pedro"_qs;
    QTest::newRow("phones leave the nameless out") << searchFilterText({}, u"3333"_qs, {}) << u"Ana|andré"_qs;
    QTest::newRow("category") << searchFilterText({}, {}, u"clien"_qs) << u"Ana|andré|JOÃO Pedro"_qs;
    QTest::newRow("three boxes") << searchFilterText(u"an"_qs, u"33"_qs, u"CLIEN"_qs) << u"Ana|andré"_qs;
    QTest::newRow("nameless by letter") << letterFilterText(u"s"_qs) << QString();
}

void FilterTest::throughTheStore()
{
    QFETCH(QString, filter);
    QFETCH(QString, names);

    ContactStore store;
    fillStore(store);
    const QString everyone = visibleNames(store);
    QCOMPARE(everyone, sortedNames(u"-|Ana|andré|Ângela|Bárbara|João d'Ávila|JOÃO Pedro"_qs));

    store.SetFiltered(false);
    store.SetFilter(filter);
    store.SetFiltered(true);
    QCOMPARE(visibleNames(store), sortedNames(names));

    // Switched off, the narrowed view gives way to every contact, the first one current.
    store.SetFiltered(false);
    QCOMPARE(store.currentRow(), 0);
    QCOMPARE(visibleNames(store), everyone);
}

void FilterTest::storeRejectsMalformedText()
{
    ContactStore store;
    fillStore(store);
    store.SetFilter(u"nome is not"_qs);
    try {
        store.SetFiltered(true);
        QFAIL("a malformed filter was applied");
    } catch (const StoreError &error) {
        QVERIFY2(QString::fromUtf8(error.what()).contains(u"Filtro inválido na posição 12: esperado \"null\""_qs),
                 error.what());
    }
    QVERIFY(!store.Filtered());
    QCOMPARE(store.visibleRowCount(), store.RecordCount());
}

namespace {

// Every contact of the store as the evaluator's fake sees it, read with the filter off.
std::vector<FakeContact> everyContact(ContactStore &store)
{
    auto read = [&](const QString &field) -> std::optional<QString> {
        return store.IsNull(field) ? std::nullopt : std::optional<QString>(store.AsString(field));
    };
    std::vector<FakeContact> all;
    for (store.MoveFirst(); !store.AtEnd(); store.Next())
        all.push_back({read(u"Nome"_qs), read(u"Telefone"_qs), read(u"Celular"_qs), read(u"Comercial"_qs),
                       read(u"Categoria"_qs)});
    return all;
}

QString describe(const FakeContact &c)
{
    return c.nome.value_or(u"-"_qs) + u'/' + c.telefone.value_or(u"-"_qs) + u'/' + c.categoria.value_or(u"-"_qs);
}

} // namespace

// Many inserts, edits and deletes, some with a filter on, each followed by the search row's
// filters: what the store shows is always what the evaluator finds in its contacts, however
// often records were replaced and the store's folded copies rewritten.
void FilterTest::searchStaysRightThroughChanges()
{
    const QStringList syllables = {u"an"_qs, u"jo"_qs, u"ão"_qs, u"Ân"_qs, u"be"_qs, u"la"_qs, u"ça"_qs,
                                   u"Cli"_qs, u"é"_qs, u"ma"_qs, u"ri"_qs, u"Ü"_qs, u"ß"_qs, u" "_qs};
    QRandomGenerator random(20261211);
    auto text = [&](int parts) {
        QString t;
        for (int i = 0; i < parts; ++i)
            t += syllables[random.bounded(int(syllables.size()))];
        return t;
    };
    auto phone = [&] { return QString::number(random.bounded(10000, 99999999)); };
    const QStringList filters = {searchFilterText(u"an"_qs, {}, {}), searchFilterText({}, u"9"_qs, {}),
                                 searchFilterText({}, {}, u"cli"_qs), searchFilterText(u"ão"_qs, u"1"_qs, {}),
                                 letterFilterText(u"a"_qs)};

    ContactStore store;
    for (int step = 0; step < 1500; ++step) {
        const int count = store.RecordCount();
        const int action = count < 20 ? 0 : (count > 60 ? 2 : random.bounded(3));
        const bool withFilter = random.bounded(4) == 0;
        if (withFilter) {
            store.SetFilter(filters[random.bounded(int(filters.size()))]);
            store.SetFiltered(true);
        }
        if (action == 2 && !store.NoneVisible()) {
            store.setCurrentRow(random.bounded(store.visibleRowCount()));
            store.Delete();
        } else if (action == 1 && !store.NoneVisible()) {
            store.setCurrentRow(random.bounded(store.visibleRowCount()));
            store.Edit();
            store.SetAsString(u"Nome"_qs, text(1 + random.bounded(12)));
            store.SetAsString(u"Categoria"_qs, random.bounded(5) == 0 ? QString() : text(1 + random.bounded(20)));
            store.Commit();
        } else {
            store.Insert();
            if (random.bounded(10) != 0)
                store.SetAsString(u"Nome"_qs, text(1 + random.bounded(12)));
            store.SetAsString(u"Telefone"_qs, phone());
            if (random.bounded(2) == 0)
                store.SetAsString(u"Comercial"_qs, phone());
            store.SetAsString(u"Categoria"_qs, text(1 + random.bounded(20)));
            store.Commit();
        }
        store.SetFiltered(false);
        if (step % 10 != 0)
            continue;

        const std::vector<FakeContact> all = everyContact(store);
        for (const QString &filter : filters) {
            QStringList expected;
            const auto expression = FilterExpression::parse(filter);
            for (const FakeContact &contact : all)
                if (expression->matches(FakeRecord(contact)))
                    expected << describe(contact);
            store.SetFilter(filter);
            store.SetFiltered(true);
            QStringList shown;
            for (const FakeContact &contact : everyContact(store))
                shown << describe(contact);
            store.SetFiltered(false);
            expected.sort();
            shown.sort();
            QVERIFY2(shown == expected, qPrintable(u"step %1, filter %2"_qs.arg(step).arg(filter)));
        }
    }
}

QTEST_GUILESS_MAIN(FilterTest)
#include "tst_filter.moc"
