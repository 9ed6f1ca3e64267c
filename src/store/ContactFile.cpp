// The contact data file: the whole table, written whole and atomically, read whole and checked.
//
// Layout, little-endian:
//   magic "LRVNAGND", u32 format version, u32 flags (bit 0: records stored in name order)
//   u16 field count, then per field: u8 name length, name (ASCII), u8 type (0 text, 1 date), u16 width
//   u32 record count, then per record: u16 null mask, i32 birth date (Julian day),
//       u16 end offset of each of the 13 text fields, the text fields' UTF-8 bytes back to back
//   u32 checksum of every byte before it (see checksum())

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

// A fast 32-bit checksum over 64-bit words in four lanes: every step is invertible, so any change
// confined to one word always changes the sum.
quint32 checksum(const char *data, qsizetype size)
{
    constexpr quint64 kPrime = 0x9E3779B185EBCA87ull;
    quint64 lanes[4] = {1, 2, 3, 4};
    auto step = [&](quint64 &h, quint64 w) { h = ((h ^ w) << 31 | (h ^ w) >> 33) * kPrime; };
    qsizetype at = 0;
    for (; at + 32 <= size; at += 32) {
        quint64 w[4];
        std::memcpy(w, data + at, 32);
        for (int i = 0; i < 4; ++i)
            step(lanes[i], w[i]);
    }
    for (; at < size; ++at)
        step(lanes[at & 3], quint64(uchar(data[at])) | 0x100);
    quint64 h = quint64(size);
    for (quint64 lane : lanes)
        step(h, lane);
    return quint32(h ^ (h >> 32));
}

[[noreturn]] void corrupt(const QString &why)
{
    throw StoreError(why.toStdString());
}

bool isUtf8Continuation(char c)
{
    return (uchar(c) & 0xC0) == 0x80;
}

// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no surrogates, nothing
// above U+10FFFF.
bool isValidUtf8(const char *data, qsizetype size)
{
    const auto *p = reinterpret_cast<const uchar *>(data);
    const auto *end = p + size;
    while (p < end) {
        // Mostly ASCII: skip eight bytes at a time while none has its top bit set.
        while (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, 8);
            if (word & 0x8080808080808080ull)
                break;
            p += 8;
        }
        if (p >= end)
            break;
        const uchar c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra;
        char32_t code;
        if ((c & 0xE0) == 0xC0) { extra = 1; code = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { extra = 2; code = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { extra = 3; code = c & 0x07; }
        else return false;
        if (end - p <= extra)
            return false;
        for (int k = 1; k <= extra; ++k) {
            if ((p[k] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[k] & 0x3F);
        }
        static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (code < kMinimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

// Why a save failed, in the user's words. `err` is the errno seen right after the failed step
// (0 when none was set); Qt's own text is the fallback.
QString saveFailureReason(const QString &path, int err, const QString &qtText)
{
    switch (err) {
    case ENOENT: return QStringLiteral("a pasta não existe");
    case ENOTDIR: return QStringLiteral("parte do caminho não é uma pasta");
    case EISDIR: return QStringLiteral("o caminho indicado é uma pasta");
    case EACCES:
    case EPERM: return QStringLiteral("permissão negada (a pasta não aceita novos arquivos)");
    case EROFS: return QStringLiteral("o disco é somente leitura");
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return QStringLiteral("não há espaço livre no disco");
    case EIO: return QStringLiteral("erro de leitura ou gravação no disco");
    default: break;
    }
    if (QFileInfo(path).isDir())
        return QStringLiteral("o caminho indicado é uma pasta");
    return qtText;
}

} // namespace

quint32 ContactStore::fileChecksum(const char *data, qsizetype size)
{
    return checksum(data, size);
}

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
    putU32(out, checksum(out.constData(), out.size()));

    // The old file stays whole until the new one is complete and flushed. The errno of the first
    // failing step is kept: after a failure QSaveFile may only say "Unknown error".
    QSaveFile file(path);
    auto failWrite = [&](int err, bool cancel = true) {
        const QString reason = saveFailureReason(path, err, file.errorString());
        if (cancel)
            file.cancelWriting();
        throw StoreError(QStringLiteral("Não foi possível gravar o arquivo de contatos \"%1\": %2")
                             .arg(QDir::toNativeSeparators(path), reason).toStdString());
    };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        failWrite(errno);
    if (file.write(out) != out.size())
        failWrite(errno);
    // Qt 6.4's commit() can report success after a failed final flush and leave an empty file:
    // flush first and check.
    if (!file.flush() || file.error() != QFileDevice::NoError)
        failWrite(errno);
#ifdef Q_OS_UNIX
    // The new content must be on disk before it replaces the old file.
    if (::fsync(file.handle()) != 0)
        failWrite(errno);
#endif
    errno = 0;
    if (!file.commit())
        failWrite(errno, false);
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
    // Mapped rather than copied: a large file then costs no second copy and fewer page faults.
    // The mapping lives as long as `file` stays open, to the end of the load.
    QByteArray copy;
    QByteArrayView data;
    if (uchar *mapped = size > 0 ? file.map(0, size) : nullptr) {
        data = QByteArrayView(reinterpret_cast<const char *>(mapped), size);
    } else {
        copy = file.readAll();
        if (copy.size() != size || file.error() != QFileDevice::NoError)
            corrupt(QStringLiteral("erro de leitura: %1").arg(file.errorString()));
        data = copy;
    }

    if (data.size() < qsizetype(sizeof kMagic) || std::memcmp(data.data(), kMagic, sizeof kMagic) != 0)
        corrupt(QStringLiteral("não é um arquivo de contatos"));
    Reader header(data.data() + sizeof kMagic, data.size() - qsizetype(sizeof kMagic));
    const quint32 version = header.u32("versão");
    if (version != kFormatVersion)
        corrupt(QStringLiteral("versão %1 do arquivo não é conhecida").arg(version));
    if (data.size() < qsizetype(sizeof kMagic) + 8 + 4)
        corrupt(QStringLiteral("arquivo truncado"));
    const qsizetype body = data.size() - 4;
    Reader tail(data.data() + body, 4);
    const quint32 stored = tail.u32("soma de verificação");
    const quint32 actual = checksum(data.data(), body);
    if (stored != actual)
        corrupt(QStringLiteral("soma de verificação não confere (arquivo danificado ou truncado)"));

    Reader in(data.data() + sizeof kMagic + 4, body - qsizetype(sizeof kMagic) - 4);
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
    for (quint32 i = 0; i < count; ++i) {
        ContactRecord r;
        r.seq = i;
        r.nullMask = in.u16("registro");
        r.birthJulian = qint32(in.u32("registro"));
        for (quint16 &end : r.ends)
            end = in.u16("registro");
        auto invalid = [i] { corrupt(QStringLiteral("registro %1 inválido").arg(i + 1)); };
        if (r.nullMask >> FieldCount)
            invalid();
        const quint16 length = r.ends[kTextFields - 1];
        const char *text = in.bytes(length, "texto do registro");
        if (!isValidUtf8(text, length))
            invalid();
        // Every offset first, so no field is read past the record's text.
        for (int field = 1; field < kTextFields; ++field)
            if (r.ends[field] < r.ends[field - 1])
                invalid();
        quint16 begin = 0;
        for (int field = 0; field < kTextFields; ++field) {
            const quint16 end = r.ends[field];
            const bool isNull = r.nullMask & (1u << field);
            if (isNull != (end == begin))
                invalid();
            // A field is never cut through a character, nor wider than its width.
            if (end < length && isUtf8Continuation(text[end]))
                invalid();
            if (end - begin > fieldDef(field).width
                && QString::fromUtf8(text + begin, end - begin).size() > fieldDef(field).width)
                invalid();
            begin = end;
        }
        if (!(r.nullMask & (1u << Nascimento)) && (r.birthJulian < minJulian || r.birthJulian > maxJulian))
            corrupt(QStringLiteral("registro %1 tem data inválida").arg(i + 1));
        if (r.nullMask & (1u << Nascimento))
            r.birthJulian = 0;
        r.text = QByteArray(text, length);
        records.push_back(std::move(r));
    }
    if (in.left() != 0)
        corrupt(QStringLiteral("dados a mais depois do último registro"));

    // The folds are laid down in file order, which is name order: the order filters walk.
    std::vector<char> folds;
    size_t searched = 0;
    for (const ContactRecord &r : records)
        searched += r.ends[ContactStore::Comercial] + (r.ends[ContactStore::Categoria] - r.ends[ContactStore::observacao]);
    folds.reserve(searched + searched / 16);
    for (ContactRecord &r : records)
        foldRecord(r, folds);

    m_records = std::move(records);
    m_folds.swap(folds);
    m_foldGarbage = 0;
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
