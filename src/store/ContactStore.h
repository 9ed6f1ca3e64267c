#pragma once
// The contact table: records, their order, the filter, the cursor and the pending-edit buffer,
// and the binary data file that persists them. UI-free (QtCore only).

#include <QCollator>
#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <stdexcept>
#include <vector>

enum class StoreState { Browse, Insert, Edit };

class StoreError : public std::runtime_error
{
    using std::runtime_error::runtime_error;
};

class FilterExpression;
struct ContactRecord;

// Appends the record's folded copy of the searched fields to `arena` and points the record at it.
void foldRecord(ContactRecord &record, std::vector<char> &arena);

// One stored contact, compact: the 13 text fields as one UTF-8 buffer with end offsets, the birth
// date as a Julian day, and where its upper-cased, accent-folded copy of the fields the search
// row scans lies in the store's fold arena.
struct ContactRecord
{
    QByteArray text;           // the 13 text fields, UTF-8, back to back
    quint16 ends[13] = {};     // end offset of each text field in `text`
    quint16 nullMask = 0;      // bit i set: field i is null (bit 13: Nascimento)
    qint32 birthJulian = 0;    // valid only when bit 13 of nullMask is clear
    quint32 seq = 0;           // stored order, breaks ties between equal keys
    quint32 foldAt = 0;        // start of the folded Nome, Telefone, Celular, Comercial, Categoria
    quint16 foldEnds[5] = {};  // end offset of each folded field, from foldAt
};

class ContactStore : public QObject
{
    Q_OBJECT
public:
    enum Field { Nome, Telefone, Celular, Comercial, CPF_CNPJ, IE, Endereco, Cidade, CEP,
                 email, site, observacao, Categoria, Nascimento, FieldCount };

    struct FieldDef { QString name; bool isDate; int width; QString displayLabel; };
    static const FieldDef &fieldDef(int field);
    static int fieldIndex(const QString &name); // without regard to case; -1 when unknown

    explicit ContactStore(QObject *parent = nullptr); // open, empty, 14 fields, order "Nome", unfiltered
    ~ContactStore() override;

    void LoadFromFile(const QString &path);           // throws StoreError on any failure
    void Open();
    void Close();
    bool Active() const { return m_active; }
    void SaveToFile(const QString &path);             // whole store, atomic replace; throws on failure

    void Insert();
    void Edit();
    void Commit();
    void Cancel();
    void Delete();
    bool NoneVisible() const;
    void MoveFirst();
    void Next();
    bool AtEnd() const;

    QString IndexFieldNames() const;
    void SetIndexFieldNames(const QString &field);
    QString Filter() const;
    void SetFilter(const QString &text);
    bool Filtered() const;
    void SetFiltered(bool on);

    StoreState State() const { return m_state; }
    bool Modified() const { return m_state != StoreState::Browse && m_modified; }
    int RecordCount() const;                          // every record, visible or not
    QString AsString(const QString &field) const;     // current record (pending buffer in insert/edit)
    QDate AsDateTime(const QString &field) const;     // null reads as an invalid QDate
    bool IsNull(const QString &field) const;
    void SetAsString(const QString &field, const QString &text); // cuts to width; converts dates; throws StoreError

    // Row access for views (grid model, report): rows are the visible records in the active
    // order, with a pending new record shown at the cursor as its own row.
    int visibleRowCount() const;
    int currentRow() const { return m_cur; }          // -1 when nothing is visible
    void setCurrentRow(int row);                      // moves the cursor (settles a pending change)
    QString valueAt(int row, int field) const;        // as text; null reads as empty
    bool isPendingRow(int row) const;

    // The data file's checksum over `size` bytes (the file's last four bytes hold it).
    static quint32 fileChecksum(const char *data, qsizetype size);

    // Text folded the way "upper" folds it in filters: letters upper-cased, diacritics removed.
    static QString foldForSearch(const QString &text);

signals:
    // The visible rows changed as a whole (load, filter, order, insert, commit, delete, cancel).
    void rowsReset();
    // The values shown in one row changed (a field written into the pending buffer).
    void rowChanged(int row);
    // The cursor moved to another row.
    void currentRowChanged(int row);
    void stateChanged(StoreState state);

private:
    struct Pending { QString values[FieldCount]; bool isNull[FieldCount]; QDate birth; };

    QString recordValue(const ContactRecord &r, int field) const;
    bool recordIsNull(const ContactRecord &r, int field) const;
    ContactRecord makeRecord(const Pending &p, quint32 seq);  // its fold goes to the arena
    void dropFold(const ContactRecord &r);           // the record's fold is no longer used
    void compactFolds();
    Pending pendingFrom(const ContactRecord &r) const;
    bool lessInOrder(int a, int b) const;             // record ids, active order
    void rebuildOrder();
    void rebuildVisible();
    bool passesFilter(const ContactRecord &r) const;
    bool settle();                                    // true when the rows changed
    void requireActive() const;
    [[noreturn]] void fail(const QString &message) const;
    int fieldOrThrow(const QString &name) const;
    int recordIdAt(int row) const;                    // -1 for the pending new row
    void removeRecordId(int id);
    void emitReset();

    const std::vector<int> &visibleIds() const { return m_filtered ? m_visible : m_order; }
    void placeInOrder(int id);
    void placeInVisible(int id);
    bool sortByName(bool trustStoredOrder);
    bool namesOutOfOrder(const ContactRecord &a, const ContactRecord &b) const;

    std::vector<ContactRecord> m_records;
    // Every record's folded search text, back to back: a filter pass reads it as one stream.
    // Replaced and deleted records leave their folds behind until the arena is compacted.
    std::vector<char> m_folds;
    qsizetype m_foldGarbage = 0;
    std::vector<int> m_order;        // every record id in the active order
    std::vector<int> m_visible;      // ids of records passing the filter, in the active order
    std::vector<int> m_savedNameOrder; // the name order kept while another order is active
    quint64 m_mutations = 0;         // changes to the records; tells whether the saved order is stale
    quint64 m_savedNameOrderStamp = 0;
    int m_insertRow = -1;            // row of the pending new record (insert state)
    bool m_active = true;
    int m_orderField = Nome;
    QString m_filterText;
    bool m_filtered = false;
    std::shared_ptr<const FilterExpression> m_filterExpr;
    StoreState m_state = StoreState::Browse;
    bool m_modified = false;
    Pending m_pending;
    int m_editId = -1;               // record being edited (edit state)
    int m_cur = -1;                  // current visible row
    bool m_eof = false;
    quint32 m_nextSeq = 0;
    QCollator m_collator;
};
