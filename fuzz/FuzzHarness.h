#pragma once
// One input through each fuzzed entry point. Shared by the libFuzzer targets in this folder and by
// the corpus replay test, so both run exactly the same code. Each function returns an empty string
// when the input was handled as expected (accepted, or refused with StoreError) and a description
// of the broken promise otherwise; a crash or a sanitizer report needs no description.

#include "store/ContactStore.h"
#include "store/FilterExpression.h"
#include "widgets/AlertMarkup.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QColor>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>

#include <cstring>
#include <exception>

namespace fuzzharness {

// One file: written to `scratchPath` and loaded. A file that loads is read back through every row
// and field, filtered, saved next to itself and loaded again: the copy must hold the same records.
inline QString loadDataFile(const QByteArray &bytes, const QString &scratchPath)
{
    {
        QFile f(scratchPath);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QStringLiteral("cannot write the scratch file");
        f.write(bytes);
    }
    ContactStore store;
    try {
        store.LoadFromFile(scratchPath);
    } catch (const StoreError &) {
        return {};
    }
    try {
        QStringList rows;
        for (int row = 0; row < store.visibleRowCount(); ++row) {
            QString line;
            for (int field = 0; field < ContactStore::FieldCount; ++field)
                line += store.valueAt(row, field) + QChar(0x1f);
            rows << line;
        }
        if (store.visibleRowCount() != store.RecordCount())
            return QStringLiteral("unfiltered store hides records");

        store.SetFilter(QStringLiteral("upper(Nome) like '%A%' or Telefone is not null"));
        store.SetFiltered(true);
        (void)store.visibleRowCount();
        store.SetFiltered(false);

        const QString copyPath = scratchPath + QStringLiteral(".copy");
        store.SaveToFile(copyPath);
        ContactStore again;
        again.LoadFromFile(copyPath);
        QFile::remove(copyPath);
        if (again.RecordCount() != store.RecordCount())
            return QStringLiteral("saved copy holds %1 records, store %2")
                .arg(again.RecordCount()).arg(store.RecordCount());
        for (int row = 0; row < again.visibleRowCount(); ++row) {
            QString line;
            for (int field = 0; field < ContactStore::FieldCount; ++field)
                line += again.valueAt(row, field) + QChar(0x1f);
            if (line != rows.value(row))
                return QStringLiteral("row %1 differs after save and load").arg(row);
        }
    } catch (const StoreError &e) {
        return QStringLiteral("a loaded store failed afterwards: %1").arg(QString::fromUtf8(e.what()));
    }
    return {};
}

// The data file: the bytes as they are, then (when long enough to hold a header and a checksum)
// the same bytes with the last four replaced by the right checksum, so the body is really read.
inline QString runDataFile(const QByteArray &bytes, const QString &scratchPath)
{
    QString problem = loadDataFile(bytes, scratchPath);
    if (!problem.isEmpty() || bytes.size() < 20)
        return problem;
    QByteArray sealed = bytes;
    const qsizetype body = sealed.size() - 4;
    const quint32 sum = ContactStore::fileChecksum(sealed.constData(), body);
    for (int i = 0; i < 4; ++i)
        sealed[body + i] = char((sum >> (8 * i)) & 0xff);
    if (sealed == bytes)
        return {};
    problem = loadDataFile(sealed, scratchPath);
    return problem.isEmpty() ? QString() : QStringLiteral("with the checksum set: ") + problem;
}

// A record for the filter: field i is line i+1 of the input; fields past the last line are null.
class LinesRecord final : public FilterRecord
{
public:
    explicit LinesRecord(const QByteArrayList &fields) : m_fields(fields)
    {
        for (const QByteArray &f : m_fields)
            m_folded << foldUtf8(QString::fromUtf8(f));
    }
    bool isNull(int field) const override { return field < 0 || field >= m_fields.size(); }
    QByteArrayView folded(int field, QByteArray &) const override
    {
        return isNull(field) ? QByteArrayView() : QByteArrayView(m_folded.at(field));
    }

private:
    QByteArrayList m_fields;
    QByteArrayList m_folded;
};

// The filter language: the first line is the filter text, the following lines the record's fields.
// Also drives foldText/foldUtf8 and likeMatch directly with the same bytes.
inline QString runFilter(const QByteArray &bytes)
{
    const int nl = bytes.indexOf('\n');
    const QByteArray head = nl < 0 ? bytes : bytes.left(nl);
    const QByteArray rest = nl < 0 ? QByteArray() : bytes.mid(nl + 1);
    QByteArrayList fields = rest.isEmpty() ? QByteArrayList() : rest.split('\n');
    if (fields.size() > ContactStore::FieldCount)
        fields.resize(ContactStore::FieldCount);

    const QString text = QString::fromUtf8(head);
    if (foldUtf8(text) != foldText(text).toUtf8())
        return QStringLiteral("foldUtf8 and foldText disagree");
    (void)likeMatch(QByteArrayView(rest), QByteArrayView(head));
    (void)likeMatch(QByteArrayView(foldUtf8(QString::fromUtf8(rest))), QByteArrayView(foldUtf8(text)));

    std::shared_ptr<const FilterExpression> expression;
    try {
        expression = FilterExpression::parse(text);
    } catch (const StoreError &) {
        return {};
    }
    if (!expression)
        return QStringLiteral("parse returned no expression");
    const LinesRecord record(fields);
    const bool first = expression->matches(record);
    if (expression->matches(record) != first)
        return QStringLiteral("the same record matched differently twice");
    return {};
}

// The alert's mark-up: parsed, measured and painted into an image. Needs a QGuiApplication.
inline QString runMarkup(const QByteArray &bytes)
{
    const AlertText text = parseAlertMarkup(QString::fromUtf8(bytes));
    for (const AlertTextLine &line : text.lines) {
        for (const AlertTextRun &run : line.runs) {
            const int size = run.format.pointSize;
            if (size != 0 && (size < 1 || size > 72))
                return QStringLiteral("a run has %1 points").arg(size);
            if (run.format.color.isValid() && run.format.color.alpha() != 255)
                return QStringLiteral("a run has a translucent colour");
        }
    }
    (void)text.plainText();

    QImage image(64, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    const AlertTextLayout layout(text, QFont(QStringLiteral("Sans"), 10), QColor(Qt::black), &image);
    const QSizeF size = layout.size();
    if (!(size.width() >= 0) || !(size.height() >= 0))
        return QStringLiteral("negative or undefined size");
    QPainter painter(&image);
    layout.paint(painter, QPointF(2, 2));
    return {};
}

} // namespace fuzzharness
