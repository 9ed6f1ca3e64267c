#include "store/ContactStore.h"

#include "store/FilterExpression.h"

#include <QLocale>
#include <cstring>
#include <limits>
#include <string>
#include <QRegularExpression>
#include <algorithm>
#include <array>

namespace {

const std::array<ContactStore::FieldDef, ContactStore::FieldCount> kFields = {{
    {QStringLiteral("Nome"), false, 100, QString()},
    {QStringLiteral("Telefone"), false, 30, QString()},
    {QStringLiteral("Celular"), false, 30, QString()},
    {QStringLiteral("Comercial"), false, 30, QString()},
    {QStringLiteral("CPF_CNPJ"), false, 30, QString()},
    {QStringLiteral("IE"), false, 30, QString()},
    {QStringLiteral("Endereco"), false, 100, QString()},
    {QStringLiteral("Cidade"), false, 50, QString()},
    {QStringLiteral("CEP"), false, 10, QString()},
    {QStringLiteral("email"), false, 100, QStringLiteral("Email")},
    {QStringLiteral("site"), false, 100, QStringLiteral("Site")},
    {QStringLiteral("observacao"), false, 1000, QString()},
    {QStringLiteral("Categoria"), false, 100, QString()},
    {QStringLiteral("Nascimento"), true, 0, QString()},
}};

// The fields the search row scans keep a folded copy in the record; slot in ContactRecord::foldEnds.
constexpr int kFoldedFields[] = {ContactStore::Nome, ContactStore::Telefone, ContactStore::Celular,
                                 ContactStore::Comercial, ContactStore::Categoria};

int foldedSlot(int field)
{
    for (int i = 0; i < 5; ++i)
        if (kFoldedFields[i] == field)
            return i;
    return -1;
}

constexpr quint16 kDateBit = quint16(1u << ContactStore::Nascimento);

// Cuts a text to `width` characters without splitting a surrogate pair.
QString cutToWidth(const QString &text, int width)
{
    if (text.size() <= width)
        return text;
    qsizetype cut = width;
    if (cut > 0 && text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut);
}

// Day/month/year, "/" between; two-digit years fall in the 50 years either side of today.
QDate parseDate(const QString &text, bool *ok)
{
    *ok = false;
    const QStringList parts = text.split(u'/');
    if (parts.size() != 3)
        return {};
    int numbers[3];
    for (int i = 0; i < 3; ++i) {
        const QString part = parts[i].trimmed();
        if (part.isEmpty() || part.size() > (i == 2 ? 4 : 2))
            return {};
        for (QChar c : part)
            if (c < u'0' || c > u'9')
                return {};
        numbers[i] = part.toInt();
        if (i == 2 && part.size() <= 2) {
            const int thisYear = QDate::currentDate().year();
            int year = thisYear - thisYear % 100 + numbers[i];
            if (year > thisYear + 50)
                year -= 100;
            else if (year <= thisYear - 50)
                year += 100;
            numbers[i] = year;
        }
    }
    const QDate date(numbers[2], numbers[1], numbers[0]);
    *ok = date.isValid();
    return date;
}

QString textOf(const ContactRecord &r, int field)
{
    if (r.nullMask & (1u << field))
        return QString();
    if (field == ContactStore::Nascimento)
        return QDate::fromJulianDay(r.birthJulian).toString(QStringLiteral("dd/MM/yyyy"));
    const int begin = field == 0 ? 0 : r.ends[field - 1];
    return QString::fromUtf8(r.text.constData() + begin, r.ends[field] - begin);
}

class RecordForFilter final : public FilterRecord
{
public:
    RecordForFilter(const ContactRecord &record, const char *folds)
        : m_record(record), m_fold(folds + record.foldAt) {}

    bool isNull(int field) const override { return m_record.nullMask & (1u << field); }

    QByteArrayView folded(int field, QByteArray &scratch) const override
    {
        const int slot = foldedSlot(field);
        if (slot >= 0) {
            const int begin = slot == 0 ? 0 : m_record.foldEnds[slot - 1];
            return QByteArrayView(m_fold + begin, m_record.foldEnds[slot] - begin);
        }
        scratch = foldUtf8(textOf(m_record, field));
        return scratch;
    }

private:
    const ContactRecord &m_record;
    const char *m_fold;
};

} // namespace

namespace {

// The folds of U+0000..U+00FF as UTF-8, taken once from foldUtf8 so both paths agree.
struct Latin1Folds
{
    char bytes[256][4];
    quint8 length[256];
    Latin1Folds()
    {
        for (int c = 0; c < 256; ++c) {
            const QByteArray folded = foldUtf8(QString(QChar(c)));
            length[c] = quint8(std::min<qsizetype>(folded.size(), 4));
            std::memcpy(bytes[c], folded.constData(), length[c]);
        }
    }
};

} // namespace

void foldRecord(ContactRecord &r, std::vector<char> &arena)
{
    static const Latin1Folds latin1;
    int total = 0;
    for (int field : kFoldedFields)
        total += r.ends[field] - (field == 0 ? 0 : r.ends[field - 1]);
    // Built in a reused buffer, then copied once at its exact size.
    thread_local std::string folded;
    folded.resize(size_t(total) * 2);   // a Latin-1 fold never grows past 2 bytes
    char *out = folded.data();
    qsizetype at = 0;
    for (int slot = 0; slot < 5; ++slot) {
        const int field = kFoldedFields[slot];
        const int begin = field == 0 ? 0 : r.ends[field - 1];
        const int length = r.ends[field] - begin;
        const auto *text = reinterpret_cast<const uchar *>(r.text.constData() + begin);
        for (int k = 0; k < length;) {
            const uchar c = text[k];
            if (c < 0x80) {
                out[at++] = (c >= 'a' && c <= 'z') ? char(c - 32) : char(c);
                ++k;
            } else if ((c == 0xC2 || c == 0xC3) && k + 1 < length) {
                const int code = ((c & 0x1F) << 6) | (text[k + 1] & 0x3F);
                std::memcpy(out + at, latin1.bytes[code], latin1.length[code]);
                at += latin1.length[code];
                k += 2;
            } else {
                // Anything else: fold the rest of the field the general way.
                const QByteArray rest = foldUtf8(QString::fromUtf8(reinterpret_cast<const char *>(text + k),
                                                                   length - k));
                folded.resize(std::max<size_t>(folded.size(), size_t(at + rest.size() + total * 2)));
                out = folded.data();
                std::memcpy(out + at, rest.constData(), rest.size());
                at += rest.size();
                break;
            }
        }
        r.foldEnds[slot] = quint16(at);
    }
    if (arena.size() + size_t(at) > std::numeric_limits<quint32>::max())
        throw StoreError("cdsContatos: contatos demais para a memória de busca");
    r.foldAt = quint32(arena.size());
    arena.insert(arena.end(), folded.data(), folded.data() + at);
}

const ContactStore::FieldDef &ContactStore::fieldDef(int field)
{
    return kFields.at(field);
}

QString ContactStore::foldForSearch(const QString &text)
{
    return foldText(text);
}

int ContactStore::fieldIndex(const QString &name)
{
    for (int i = 0; i < FieldCount; ++i)
        if (kFields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

ContactStore::ContactStore(QObject *parent)
    : QObject(parent), m_collator(QLocale(QLocale::Portuguese, QLocale::Brazil))
{
    setObjectName(QStringLiteral("cdsContatos"));
    m_collator.setCaseSensitivity(Qt::CaseSensitive);
    m_collator.setNumericMode(false);
    m_collator.setIgnorePunctuation(false);
    for (bool &n : m_pending.isNull)
        n = true;
}

ContactStore::~ContactStore() = default;

void ContactStore::fail(const QString &message) const
{
    throw StoreError(QStringLiteral("%1: %2").arg(objectName(), message).toStdString());
}

void ContactStore::requireActive() const
{
    if (!m_active)
        fail(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

int ContactStore::fieldOrThrow(const QString &name) const
{
    const int field = fieldIndex(name);
    if (field < 0)
        fail(QStringLiteral("Field '%1' not found").arg(name));
    return field;
}

void ContactStore::Open()
{
    m_active = true;
}

void ContactStore::Close()
{
    if (!m_active)
        return;
    // A pending change does not survive closing.
    m_state = StoreState::Browse;
    m_modified = false;
    m_editId = -1;
    m_insertRow = -1;
    m_active = false;
}

// ---- record representation ----------------------------------------------------------------

QString ContactStore::recordValue(const ContactRecord &r, int field) const
{
    return textOf(r, field);
}

bool ContactStore::recordIsNull(const ContactRecord &r, int field) const
{
    return r.nullMask & (1u << field);
}

ContactRecord ContactStore::makeRecord(const Pending &p, quint32 seq)
{
    ContactRecord r;
    r.seq = seq;
    for (int field = 0; field < Nascimento; ++field) {
        if (p.isNull[field])
            r.nullMask |= quint16(1u << field);
        else
            r.text += p.values[field].toUtf8();
        r.ends[field] = quint16(r.text.size());
    }
    if (p.isNull[Nascimento] || !p.birth.isValid())
        r.nullMask |= kDateBit;
    else
        r.birthJulian = qint32(p.birth.toJulianDay());
    r.text.squeeze();
    foldRecord(r, m_folds);
    return r;
}

void ContactStore::dropFold(const ContactRecord &r)
{
    m_foldGarbage += r.foldEnds[4];
}

// Rewrites the arena without the folds nobody uses, in record order, once they outweigh the rest.
void ContactStore::compactFolds()
{
    const qsizetype live = qsizetype(m_folds.size()) - m_foldGarbage;
    if (m_foldGarbage < 4096 || m_foldGarbage < live)
        return;
    std::vector<char> compact;
    compact.reserve(size_t(live));
    for (ContactRecord &r : m_records) {
        const char *from = m_folds.data() + r.foldAt;
        r.foldAt = quint32(compact.size());
        compact.insert(compact.end(), from, from + r.foldEnds[4]);
    }
    m_folds.swap(compact);
    m_foldGarbage = 0;
}

ContactStore::Pending ContactStore::pendingFrom(const ContactRecord &r) const
{
    Pending p;
    for (int field = 0; field < FieldCount; ++field) {
        p.isNull[field] = recordIsNull(r, field);
        if (field != Nascimento)
            p.values[field] = recordValue(r, field);
    }
    if (!p.isNull[Nascimento])
        p.birth = QDate::fromJulianDay(r.birthJulian);
    return p;
}

// ---- order ----------------------------------------------------------------------------------

bool ContactStore::lessInOrder(int a, int b) const
{
    const ContactRecord &ra = m_records[a];
    const ContactRecord &rb = m_records[b];
    const bool nullA = recordIsNull(ra, m_orderField);
    const bool nullB = recordIsNull(rb, m_orderField);
    if (nullA != nullB)
        return nullA;   // nulls first
    if (!nullA) {
        int c;
        if (m_orderField == Nascimento)
            c = ra.birthJulian < rb.birthJulian ? -1 : (ra.birthJulian > rb.birthJulian ? 1 : 0);
        else
            c = m_collator.compare(recordValue(ra, m_orderField), recordValue(rb, m_orderField));
        if (c != 0)
            return c < 0;
    }
    return ra.seq < rb.seq;
}

// True when `b` must not follow `a` in name order.
bool ContactStore::namesOutOfOrder(const ContactRecord &a, const ContactRecord &b) const
{
    const bool nullA = recordIsNull(a, Nome);
    const bool nullB = recordIsNull(b, Nome);
    if (nullA || nullB)
        return !nullA && nullB ? true : (nullA && nullB && a.seq > b.seq);
    // Where the folded names first differ, an unaccented capital, digit or blank on both sides
    // (or the end of one name against one of those) orders them as the collator orders them at
    // its first level, which decides; anything else goes to the collator.
    const QByteArrayView fa(m_folds.data() + a.foldAt, a.foldEnds[0]);
    const QByteArrayView fb(m_folds.data() + b.foldAt, b.foldEnds[0]);
    auto simple = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' '; };
    const qsizetype common = std::min(fa.size(), fb.size());
    qsizetype k = 0;
    while (k < common && fa[k] == fb[k])
        ++k;
    if (k < common) {
        if (simple(fa[k]) && simple(fb[k]))
            return fb[k] < fa[k];
    } else if (fa.size() != fb.size()) {
        const QByteArrayView longer = fa.size() > fb.size() ? fa : fb;
        if (simple(longer[k]))
            return fa.size() > fb.size();
    }
    const int c = m_collator.compare(recordValue(a, Nome), recordValue(b, Nome));
    return c > 0 || (c == 0 && a.seq > b.seq);
}

bool ContactStore::sortByName(bool trustStoredOrder)
{
    const int n = int(m_records.size());
    m_order.resize(n);
    for (int i = 0; i < n; ++i)
        m_order[i] = i;
    if (trustStoredOrder) {
        // Files are written in name order: checking that costs one comparison per record, and
        // most comparisons are settled by the folded names alone.
        bool sorted = true;
        for (int i = 1; i < n && sorted; ++i)
            sorted = !namesOutOfOrder(m_records[i - 1], m_records[i]);
        if (sorted)
            return false;
    }
    std::vector<QCollatorSortKey> keys;
    keys.reserve(n);
    for (int i = 0; i < n; ++i)
        keys.push_back(m_collator.sortKey(recordValue(m_records[i], Nome)));
    std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) {
        const bool nullA = recordIsNull(m_records[a], Nome);
        const bool nullB = recordIsNull(m_records[b], Nome);
        if (nullA != nullB)
            return nullA;
        if (!nullA) {
            const int c = keys[a].compare(keys[b]);
            if (c != 0)
                return c < 0;
        }
        return m_records[a].seq < m_records[b].seq;
    });
    return true;
}

void ContactStore::rebuildOrder()
{
    if (m_orderField == Nome) {
        if (!m_savedNameOrder.empty() && m_savedNameOrderStamp == m_mutations
            && m_savedNameOrder.size() == m_records.size()) {
            m_order.swap(m_savedNameOrder);
            m_savedNameOrder.clear();
            return;
        }
        m_savedNameOrder.clear();
        sortByName(false);
        return;
    }
    // Birth-date order: nulls first, then by date, equal dates in stored order.
    const int n = int(m_records.size());
    std::vector<std::pair<quint64, int>> keys(n);
    for (int i = 0; i < n; ++i) {
        const ContactRecord &r = m_records[i];
        const quint64 date = recordIsNull(r, Nascimento) ? 0 : quint64(quint32(r.birthJulian) + 1);
        keys[i] = {date << 32 | r.seq, i};
    }
    std::sort(keys.begin(), keys.end());
    m_order.resize(n);
    for (int i = 0; i < n; ++i)
        m_order[i] = keys[i].second;
}

void ContactStore::placeInOrder(int id)
{
    auto pos = std::upper_bound(m_order.begin(), m_order.end(), id,
                                [this](int a, int b) { return lessInOrder(a, b); });
    m_order.insert(pos, id);
}

void ContactStore::placeInVisible(int id)
{
    auto pos = std::upper_bound(m_visible.begin(), m_visible.end(), id,
                                [this](int a, int b) { return lessInOrder(a, b); });
    m_visible.insert(pos, id);
}

QString ContactStore::IndexFieldNames() const
{
    return kFields[m_orderField].name;
}

void ContactStore::SetIndexFieldNames(const QString &field)
{
    const int index = fieldOrThrow(field);
    if (index != Nome && index != Nascimento)
        fail(QStringLiteral("Index for field '%1' not found").arg(field));
    requireActive();
    settle();
    const int currentId = recordIdAt(m_cur);
    if (index != m_orderField) {
        if (m_orderField == Nome) {
            // The birthday scan switches to birth-date order and straight back: keep the name
            // order so coming back costs nothing.
            m_savedNameOrder = m_order;
            m_savedNameOrderStamp = m_mutations;
        }
        m_orderField = index;
        rebuildOrder();
        rebuildVisible();
    }
    const auto &ids = visibleIds();
    auto it = std::find(ids.begin(), ids.end(), currentId);
    m_cur = ids.empty() ? -1 : (it == ids.end() ? 0 : int(it - ids.begin()));
    m_eof = false;
    emitReset();
}

// ---- filter ---------------------------------------------------------------------------------

bool ContactStore::passesFilter(const ContactRecord &r) const
{
    if (!m_filterExpr)
        return true;
    return m_filterExpr->matches(RecordForFilter(r, m_folds.data()));
}

void ContactStore::rebuildVisible()
{
    m_visible.clear();
    if (!m_filtered)
        return;
    m_visible.reserve(m_order.size());
    for (int id : m_order)
        if (passesFilter(m_records[id]))
            m_visible.push_back(id);
}

QString ContactStore::Filter() const
{
    return m_filterText;
}

void ContactStore::SetFilter(const QString &text)
{
    if (!m_filtered) {
        m_filterText = text;
        return;
    }
    auto expression = FilterExpression::parse(text);
    requireActive();
    settle();
    m_filterText = text;
    m_filterExpr = std::move(expression);
    rebuildVisible();
    m_cur = visibleRowCount() > 0 ? 0 : -1;
    m_eof = false;
    emitReset();
}

bool ContactStore::Filtered() const
{
    return m_filtered;
}

void ContactStore::SetFiltered(bool on)
{
    // Parse first: a malformed text leaves the filter state exactly as it was.
    std::shared_ptr<const FilterExpression> expression;
    if (on)
        expression = FilterExpression::parse(m_filterText);
    requireActive();
    settle();
    m_filtered = on;
    m_filterExpr = std::move(expression);
    rebuildVisible();
    m_cur = visibleRowCount() > 0 ? 0 : -1;
    m_eof = false;
    emitReset();
}

// ---- rows and cursor ------------------------------------------------------------------------

int ContactStore::RecordCount() const
{
    return int(m_records.size());
}

int ContactStore::visibleRowCount() const
{
    if (!m_active)
        return 0;
    return int(visibleIds().size()) + (m_state == StoreState::Insert ? 1 : 0);
}

bool ContactStore::isPendingRow(int row) const
{
    return m_state == StoreState::Insert && row == m_insertRow;
}

int ContactStore::recordIdAt(int row) const
{
    if (row < 0 || row >= visibleRowCount())
        return -1;
    if (m_state == StoreState::Insert) {
        if (row == m_insertRow)
            return -1;
        if (row > m_insertRow)
            --row;
    }
    return visibleIds()[row];
}

QString ContactStore::valueAt(int row, int field) const
{
    if (field < 0 || field >= FieldCount)
        return QString();
    if ((m_state == StoreState::Insert && row == m_insertRow)
        || (m_state == StoreState::Edit && row == m_cur)) {
        if (m_pending.isNull[field])
            return QString();
        return field == Nascimento ? m_pending.birth.toString(QStringLiteral("dd/MM/yyyy"))
                                   : m_pending.values[field];
    }
    const int id = recordIdAt(row);
    return id < 0 ? QString() : recordValue(m_records[id], field);
}

void ContactStore::setCurrentRow(int row)
{
    requireActive();
    if (row < 0 || row >= visibleRowCount() || row == m_cur)
        return;
    const int targetId = recordIdAt(row);
    if (targetId < 0)
        return;   // the pending new row is already current
    const bool rowsChanged = settle();
    const auto &ids = visibleIds();
    auto it = std::find(ids.begin(), ids.end(), targetId);
    if (it != ids.end())
        m_cur = int(it - ids.begin());
    m_eof = false;
    if (rowsChanged)
        emitReset();
    else
        emit currentRowChanged(m_cur);
}

bool ContactStore::NoneVisible() const
{
    return visibleRowCount() == 0;
}

void ContactStore::MoveFirst()
{
    requireActive();
    const bool rowsChanged = settle();
    m_cur = visibleRowCount() > 0 ? 0 : -1;
    m_eof = m_cur < 0;
    if (rowsChanged)
        emitReset();
    else
        emit currentRowChanged(m_cur);
}

void ContactStore::Next()
{
    requireActive();
    const bool rowsChanged = settle();
    if (m_cur + 1 < visibleRowCount()) {
        ++m_cur;
        m_eof = false;
    } else {
        m_eof = true;
    }
    if (rowsChanged)
        emitReset();
    else
        emit currentRowChanged(m_cur);
}

bool ContactStore::AtEnd() const
{
    return m_eof || visibleRowCount() == 0;
}

void ContactStore::emitReset()
{
    emit rowsReset();
    emit currentRowChanged(m_cur);
}

// ---- editing --------------------------------------------------------------------------------

bool ContactStore::settle()
{
    if (m_state == StoreState::Browse)
        return false;
    if (m_modified)
        Commit();
    else
        Cancel();
    return true;
}

void ContactStore::Insert()
{
    requireActive();
    settle();
    for (int field = 0; field < FieldCount; ++field) {
        m_pending.values[field].clear();
        m_pending.isNull[field] = true;
    }
    m_pending.birth = QDate();
    m_insertRow = std::max(m_cur, 0);
    m_state = StoreState::Insert;
    m_modified = false;
    m_cur = m_insertRow;
    m_eof = false;
    emitReset();
    emit stateChanged(m_state);
}

void ContactStore::Edit()
{
    if (m_state != StoreState::Browse)
        return;
    requireActive();
    const int id = recordIdAt(m_cur);
    if (id < 0)
        fail(QStringLiteral("Cannot perform this operation on an empty dataset"));
    m_pending = pendingFrom(m_records[id]);
    m_editId = id;
    m_state = StoreState::Edit;
    m_modified = false;
    emit stateChanged(m_state);
}

void ContactStore::Commit()
{
    requireActive();
    if (m_state == StoreState::Browse)
        fail(QStringLiteral("Dataset not in edit or insert mode"));
    int id;
    if (m_state == StoreState::Insert) {
        id = int(m_records.size());
        m_records.push_back(makeRecord(m_pending, m_nextSeq++));
    } else {
        id = m_editId;
        ContactRecord replacement = makeRecord(m_pending, m_records[id].seq);
        dropFold(m_records[id]);
        m_records[id] = std::move(replacement);
        compactFolds();
        m_order.erase(std::find(m_order.begin(), m_order.end(), id));
        if (m_filtered) {
            auto it = std::find(m_visible.begin(), m_visible.end(), id);
            if (it != m_visible.end())
                m_visible.erase(it);
        }
    }
    ++m_mutations;
    placeInOrder(id);
    if (m_filtered && passesFilter(m_records[id]))
        placeInVisible(id);
    const int previousRow = m_cur;
    m_state = StoreState::Browse;
    m_modified = false;
    m_editId = -1;
    m_insertRow = -1;
    const auto &ids = visibleIds();
    auto it = std::find(ids.begin(), ids.end(), id);
    if (it != ids.end())
        m_cur = int(it - ids.begin());
    else   // the saved record no longer passes the filter: stay where it stood
        m_cur = ids.empty() ? -1 : std::min(previousRow, int(ids.size()) - 1);
    m_eof = false;
    emitReset();
    emit stateChanged(m_state);
}

void ContactStore::Cancel()
{
    if (m_state == StoreState::Browse)
        return;
    const bool wasInsert = m_state == StoreState::Insert;
    m_state = StoreState::Browse;
    m_modified = false;
    m_editId = -1;
    if (wasInsert) {
        const int count = visibleRowCount();
        m_cur = count == 0 ? -1 : std::min(m_insertRow, count - 1);
        m_insertRow = -1;
        emitReset();
    } else {
        emit rowChanged(m_cur);
    }
    emit stateChanged(m_state);
}

void ContactStore::removeRecordId(int id)
{
    // Swap the last record into the hole, so no other id moves.
    const int last = int(m_records.size()) - 1;
    auto dropFrom = [&](std::vector<int> &ids) {
        auto it = std::find(ids.begin(), ids.end(), id);
        if (it != ids.end())
            ids.erase(it);
        if (id != last) {
            auto moved = std::find(ids.begin(), ids.end(), last);
            if (moved != ids.end())
                *moved = id;
        }
    };
    dropFrom(m_order);
    if (m_filtered)
        dropFrom(m_visible);
    dropFold(m_records[id]);
    if (id != last)
        m_records[id] = std::move(m_records[last]);
    m_records.pop_back();
    ++m_mutations;
    compactFolds();
}

void ContactStore::Delete()
{
    requireActive();
    if (m_state == StoreState::Insert) {
        Cancel();
        return;
    }
    int id;
    if (m_state == StoreState::Edit) {
        id = m_editId;
        m_state = StoreState::Browse;
        m_modified = false;
        m_editId = -1;
    } else {
        id = recordIdAt(m_cur);
        if (id < 0)
            fail(QStringLiteral("Cannot perform this operation on an empty dataset"));
    }
    removeRecordId(id);
    const int count = visibleRowCount();
    m_cur = count == 0 ? -1 : std::min(m_cur, count - 1);
    m_eof = false;
    emitReset();
    emit stateChanged(m_state);
}

// ---- field access ---------------------------------------------------------------------------

QString ContactStore::AsString(const QString &field) const
{
    return valueAt(m_cur, fieldOrThrow(field));
}

QDate ContactStore::AsDateTime(const QString &field) const
{
    const int index = fieldOrThrow(field);
    if (index != Nascimento) {
        bool ok;
        const QDate date = parseDate(valueAt(m_cur, index), &ok);
        if (!ok)
            throw StoreError(QStringLiteral("'%1' is not a valid date").arg(valueAt(m_cur, index)).toStdString());
        return date;
    }
    if (m_state != StoreState::Browse)
        return m_pending.isNull[Nascimento] ? QDate() : m_pending.birth;
    const int id = recordIdAt(m_cur);
    if (id < 0 || recordIsNull(m_records[id], Nascimento))
        return QDate();
    return QDate::fromJulianDay(m_records[id].birthJulian);
}

bool ContactStore::IsNull(const QString &field) const
{
    const int index = fieldOrThrow(field);
    if (m_state != StoreState::Browse)
        return m_pending.isNull[index];
    const int id = recordIdAt(m_cur);
    return id < 0 || recordIsNull(m_records[id], index);
}

void ContactStore::SetAsString(const QString &field, const QString &text)
{
    const int index = fieldOrThrow(field);
    requireActive();
    if (m_state == StoreState::Browse)
        fail(QStringLiteral("Dataset not in edit or insert mode"));
    if (index == Nascimento) {
        if (text.trimmed().isEmpty()) {
            m_pending.isNull[index] = true;
            m_pending.birth = QDate();
        } else {
            bool ok;
            const QDate date = parseDate(text, &ok);
            if (!ok)
                throw StoreError(QStringLiteral("'%1' is not a valid date").arg(text).toStdString());
            m_pending.birth = date;
            m_pending.isNull[index] = false;
        }
    } else {
        // An emptied text reads as null, so a contact whose name was erased drops out of searches.
        const QString cut = cutToWidth(text, kFields[index].width);
        m_pending.values[index] = cut;
        m_pending.isNull[index] = cut.isEmpty();
    }
    m_modified = true;
    emit rowChanged(m_cur);
}
