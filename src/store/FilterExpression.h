#pragma once
// The filter language: a text is parsed once into a small tree, which is then evaluated per record.
//   expression := term { "or" term }      term := factor { "and" factor }
//   factor     := field "is" "not" "null" | "upper" "(" field ")" "like" literal | "(" expression ")"
// Keywords and field names without regard to case; literals between apostrophes, '' inside.
// "upper" folds the field's text (letters upper-cased, diacritics removed); the literal is the
// pattern as written: "%" matches any run, every other character only itself; the match covers
// the whole text; "like" is false for a null field. A blank text sets no condition.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <memory>

// What the evaluator needs of a record.
class FilterRecord
{
public:
    virtual ~FilterRecord() = default;
    virtual bool isNull(int field) const = 0;
    // The field's text folded as foldUtf8 folds it, as UTF-8. May return a view into `scratch`.
    virtual QByteArrayView folded(int field, QByteArray &scratch) const = 0;
};

class FilterExpression
{
public:
    virtual ~FilterExpression() = default;
    // Throws StoreError naming the position (1-based character) and what was expected.
    // An empty or blank text gives an expression every record passes.
    static std::shared_ptr<const FilterExpression> parse(const QString &text);
    virtual bool matches(const FilterRecord &record) const = 0;
};

// Upper-cases every letter and removes its diacritics (Ã, Á, Â, À -> A; Ç -> C; É -> E ...);
// combining marks in the text are dropped too. A letter without a one-character upper case
// (ß) stays as it is, so folding never changes the number of letters. foldUtf8(t) equals
// foldText(t).toUtf8().
QString foldText(QStringView text);
QByteArray foldUtf8(QStringView text);

// "%"-pattern match over UTF-8 bytes, covering the whole text.
bool likeMatch(QByteArrayView text, QByteArrayView pattern);
