// The contact data file: the whole table, written whole and atomically, read whole and checked.
//
// Layout, little-endian:
//   magic "LRVNAGND", u32 format version, u32 flags (bit 0: records stored in name order)
//   u16 field count, then per field: u8 name length, name (ASCII), u8 type (0 text, 1 date), u16 width
//   u32 record count, then per record: u16 null mask, i32 birth date (Julian day),
//       u16 end offset of each of the 13 text fields, the text fields' UTF-8 bytes back to back
//   u32 CRC-32 of every byte before it

#include "store/ContactStore.h"
#include "store/FilterExpression.h"
#include "store/StartupLoad.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#include <zlib.h>

namespace {

constexpr char kMagic[8] = {'L', 'R', 'V', 'N', 'A', 'G', 'N', 'D'};
constexpr quint32 kFormatVersion = 1;
constexpr quint32 kFlagNameOrder = 1;
constexpr int kTextFields = ContactStore::Nascimento;          // 13
constexpr int kRecordFixedBytes = 2 + 4 + 2 * kTextFields;     // 32
constexpr qint64 kMaxFileBytes = qint64(1) << 31;

void putU8(QByteArray &out, quint8 v) { out.append(char(v)); }
void putU16(QByteArray &out, quint16 v) { char b[2] = {char(v), char(v >> 8)}; out.append(b, 2); }
void putU32(QByteArray &out, quint32 v)
{
    char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    out.append(b, 4);
}

class Reader
{
public:
    Reader(const char *data, qint64 size) : m_p(data), m_end(data + size) {}
    qint64 left() const { return m_end - m_p; }
    void need(qint64 n, const char *what) const
    {
        if (n < 0 || left() < n)
            throw StoreError(QStringLiteral("arquivo truncado (%1)").arg(QLatin1String(what)).toStdString());
    }
    quint8 u8(const char *what) { need(1, what); return quint8(*m_p++); }
    quint16 u16(const char *what)
    {
        need(2, what);
        const auto *b = reinterpret_cast<const uchar *>(m_p);
        m_p += 2;
        return quint16(b[0] | (b[1] << 8));
    }
    quint32 u32(const char *what)
    {
        need(4, what);
        const auto *b = reinterpret_cast<const uchar *>(m_p);
        m_p += 4;
        return quint32(b[0]) | (quint32(b[1]) << 8) | (quint32(b[2]) << 16) | (quint32(b[3]) << 24);
    }
    const char *bytes(qint64 n, const char *what) { need(n, what); const char *p = m_p; m_p += n; return p; }

private:
    const char *m_p;
    const char *m_end;
};

[[noreturn]] void corrupt(const QString &why)
{
    throw StoreError(why.toStdString());
}

} // namespace

void ContactStore::SaveToFile(const QString &path)
{
    requireActive();
    QByteArray out;
    qsizetype estimate = 64;
    for (const ContactRecord &r : m_records)
        estimate += kRecordFixedBytes + r.text.size();
    out.reserve(estimate + 4);

    out.append(kMagic, sizeof kMagic);
    putU32(out, kFormatVersion);
    putU32(out, m_orderField == Nome ? kFlagNameOrder : 0);
    putU16(out, FieldCount);
    for (int field = 0; field < FieldCount; ++field) {
        const FieldDef &def = fieldDef(field);
        const QByteArray name = def.name.toLatin1();
        putU8(out, quint8(name.size()));
        out.append(name);
        putU8(out, def.isDate ? 1 : 0);
        putU16(out, quint16(def.width));
    }
    putU32(out, quint32(m_records.size()));
    // Every record, visible or not, in the active order: a file written in name order loads
    // without sorting.
    for (int id : m_order) {
        const ContactRecord &r = m_records[id];
        putU16(out, r.nullMask);
        putU32(out, quint32(r.birthJulian));
        for (int field = 0; field < kTextFields; ++field)
            putU16(out, r.ends[field]);
        out.append(r.text);
    }
    putU32(out, quint32(crc32(0L, reinterpret_cast<const Bytef *>(out.constData()), uInt(out.size()))));

    // The old file stays whole until the new one is complete and flushed. The first error is kept:
    // after a failure QSaveFile may only say "Unknown error".
    QSaveFile file(path);
    auto failWrite = [&](const QString &detail) {
        file.cancelWriting();
        throw StoreError(QStringLiteral("Não foi possível gravar o arquivo de contatos \"%1\": %2")
                             .arg(QDir::toNativeSeparators(path), detail).toStdString());
    };
    if (!file.open(QIODevice::WriteOnly))
        failWrite(file.errorString());
    if (file.write(out) != out.size())
        failWrite(file.errorString());
    // Qt 6.4's commit() can report success after a failed final flush and leave an empty file:
    // flush first and check.
    if (!file.flush() || file.error() != QFileDevice::NoError)
        failWrite(file.errorString());
#ifdef Q_OS_UNIX
    // The new content must be on disk before it replaces the old file.
    if (::fsync(file.handle()) != 0)
        failWrite(QString::fromLocal8Bit(std::strerror(errno)));
#endif
    if (!file.commit())
        throw StoreError(QStringLiteral("Não foi possível gravar o arquivo de contatos \"%1\": %2")
                             .arg(QDir::toNativeSeparators(path), file.errorString()).toStdString());
}

void ContactStore::LoadFromFile(const QString &path)
{
    Close();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        corrupt(QStringLiteral("não foi possível abrir o arquivo: %1").arg(file.errorString()));
    const qint64 size = file.size();
    if (size > kMaxFileBytes)
        corrupt(QStringLiteral("arquivo grande demais"));
    const QByteArray data = file.readAll();
    if (data.size() != size || file.error() != QFileDevice::NoError)
        corrupt(QStringLiteral("erro de leitura: %1").arg(file.errorString()));
    file.close();

    if (data.size() < qsizetype(sizeof kMagic) || std::memcmp(data.constData(), kMagic, sizeof kMagic) != 0)
        corrupt(QStringLiteral("não é um arquivo de contatos"));
    Reader header(data.constData() + sizeof kMagic, data.size() - qsizetype(sizeof kMagic));
    const quint32 version = header.u32("versão");
    if (version != kFormatVersion)
        corrupt(QStringLiteral("versão %1 do arquivo não é conhecida").arg(version));
    if (data.size() < qsizetype(sizeof kMagic) + 8 + 4)
        corrupt(QStringLiteral("arquivo truncado"));
    const qsizetype body = data.size() - 4;
    Reader tail(data.constData() + body, 4);
    const quint32 stored = tail.u32("soma de verificação");
    const quint32 actual = quint32(crc32(0L, reinterpret_cast<const Bytef *>(data.constData()), uInt(body)));
    if (stored != actual)
        corrupt(QStringLiteral("soma de verificação não confere (arquivo danificado ou truncado)"));

    Reader in(data.constData() + sizeof kMagic + 4, body - qsizetype(sizeof kMagic) - 4);
    const quint32 flags = in.u32("flags");
    const quint16 fieldCount = in.u16("campos");
    if (fieldCount != FieldCount)
        corrupt(QStringLiteral("o arquivo tem %1 campos, esperados %2").arg(fieldCount).arg(int(FieldCount)));
    for (int field = 0; field < FieldCount; ++field) {
        const quint8 nameLength = in.u8("nome do campo");
        const QByteArray name(in.bytes(nameLength, "nome do campo"), nameLength);
        const quint8 type = in.u8("tipo do campo");
        const quint16 width = in.u16("largura do campo");
        const FieldDef &def = fieldDef(field);
        if (name != def.name.toLatin1() || type != (def.isDate ? 1 : 0) || width != def.width)
            corrupt(QStringLiteral("definição do campo %1 não confere").arg(field + 1));
    }
    const quint32 count = in.u32("número de registros");
    if (qint64(count) * kRecordFixedBytes > in.left())
        corrupt(QStringLiteral("o número de registros não cabe no arquivo"));

    std::vector<ContactRecord> records;
    records.reserve(count);
    const int minJulian = int(QDate(1, 1, 1).toJulianDay());
    const int maxJulian = int(QDate(9999, 12, 31).toJulianDay());
    Pending pending;
    for (quint32 i = 0; i < count; ++i) {
        const quint16 nullMask = in.u16("registro");
        const qint32 birth = qint32(in.u32("registro"));
        quint16 ends[kTextFields];
        for (quint16 &end : ends)
            end = in.u16("registro");
        if (nullMask >> FieldCount)
            corrupt(QStringLiteral("registro %1 inválido").arg(i + 1));
        const char *text = in.bytes(ends[kTextFields - 1], "texto do registro");
        quint16 begin = 0;
        for (int field = 0; field < kTextFields; ++field) {
            if (ends[field] < begin)
                corrupt(QStringLiteral("registro %1 inválido").arg(i + 1));
            const bool isNull = nullMask & (1u << field);
            if (isNull && ends[field] != begin)
                corrupt(QStringLiteral("registro %1 inválido").arg(i + 1));
            pending.isNull[field] = isNull;
            if (!isNull) {
                QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
                QString value = decoder(QByteArrayView(text + begin, ends[field] - begin));
                if (decoder.hasError() || value.size() > fieldDef(field).width || value.isEmpty())
                    corrupt(QStringLiteral("registro %1 inválido").arg(i + 1));
                pending.values[field] = std::move(value);
            } else {
                pending.values[field].clear();
            }
            begin = ends[field];
        }
        pending.isNull[Nascimento] = nullMask & (1u << Nascimento);
        if (!pending.isNull[Nascimento]) {
            if (birth < minJulian || birth > maxJulian)
                corrupt(QStringLiteral("registro %1 tem data inválida").arg(i + 1));
            pending.birth = QDate::fromJulianDay(birth);
        } else {
            pending.birth = QDate();
        }
        records.push_back(makeRecord(pending, i));
    }
    if (in.left() != 0)
        corrupt(QStringLiteral("dados a mais depois do último registro"));

    m_records = std::move(records);
    m_nextSeq = count;
    ++m_mutations;
    m_savedNameOrder.clear();
    m_state = StoreState::Browse;
    m_modified = false;
    m_editId = -1;
    m_insertRow = -1;
    if (m_orderField == Nome)
        sortByName(flags & kFlagNameOrder);
    else
        rebuildOrder();
    if (m_filtered) {
        try {
            m_filterExpr = FilterExpression::parse(m_filterText);
        } catch (const StoreError &) {
            m_filtered = false;
            m_filterExpr.reset();
        }
    }
    rebuildVisible();
    m_active = true;
    m_cur = visibleRowCount() > 0 ? 0 : -1;
    m_eof = false;
    emitReset();
}

StartupLoadOutcome loadAtStartup(ContactStore &store, const QString &dataFilePath)
{
    StartupLoadOutcome outcome;
    const QFileInfo info(dataFilePath);
    // An interrupted save can leave its temporary sibling behind ("Lirvan.VKX.ab12Cd").
    const QRegularExpression temporary(
        QStringLiteral("^%1\\.[A-Za-z0-9]{6}$").arg(QRegularExpression::escape(info.fileName())));
    QDir folder = info.absoluteDir();
    const QStringList siblings = folder.entryList({info.fileName() + QStringLiteral(".*")},
                                                  QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : siblings)
        if (temporary.match(name).hasMatch())
            folder.remove(name);

    if (info.exists()) {
        try {
            store.LoadFromFile(dataFilePath);
        } catch (const std::exception &error) {
            outcome.keptAside = true;
            outcome.reason = QString::fromUtf8(error.what());
            const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
            QString copy = dataFilePath + QStringLiteral(".") + stamp + QStringLiteral(".bak");
            for (int n = 2; QFileInfo::exists(copy); ++n)
                copy = dataFilePath + QStringLiteral(".%1-%2.bak").arg(stamp).arg(n);
            if (!QFile::rename(dataFilePath, copy) && !QFile::copy(dataFilePath, copy))
                copy.clear();
            outcome.copyPath = copy;
        }
    }
    store.Open();
    return outcome;
}
