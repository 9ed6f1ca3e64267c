#pragma once
// The link between one bound editor box and one field of the data source's current record: it
// tells the box when to show the field afresh, starts an edit for it and writes its text.

#include "store/ContactStore.h"
#include "store/DataSource.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QFocusEvent;
class QKeyEvent;
class QWidget;

class FieldLink : public QObject
{
    Q_OBJECT
public:
    FieldLink(DataSource *source, const QString &fieldName, QObject *parent);

    DataSource *source() const { return m_source; }
    ContactStore *store() const;
    QString fieldName() const { return m_fieldName; }
    int field() const { return m_field; }
    int width() const;                 // the field's width in characters; 0 for the date field
    bool isDate() const;

    bool hasRecord() const;            // the store is open and a record is current
    bool editing() const;              // the store holds a pending record (insert or edit state)
    QString value() const;             // the field of the current record; empty without one

    // A key that would change the box's text while the store is in browse state first starts
    // editing the current record. True when the box may take the key. Throws StoreError.
    bool startEdit();
    void write(const QString &text);   // throws StoreError (wrong state, a date that does not convert)

    // Keys that change a box's text: a character, Backspace, Delete, cut, paste, undo, and in a
    // box of several lines Enter.
    static bool changesText(const QKeyEvent *event, bool multiLine);

    // For a box's key press: a key that would change the text while nothing is being edited
    // first starts an edit, and a failure to start is reported. False when the box must swallow
    // the key.
    bool admitKey(const QKeyEvent *event, bool multiLine);

    // Losing the focus to another window or to a context menu is not leaving the box.
    static bool leavesBox(const QFocusEvent *event);

    // A failed write is shown once the focus has settled on the next box; then the focus comes
    // back to `box` and `selectText` selects its text.
    static void reportWriteError(QWidget *box, const QString &message, std::function<void()> selectText);

signals:
    // The record, its state or the data source changed: show the field afresh, dropping typing.
    void recordChanged();
    // A field of the current record was written: show it again unless the box holds typing.
    void valuesChanged();

private:
    bool following() const;

    QPointer<DataSource> m_source;
    QPointer<ContactStore> m_store;
    QString m_fieldName;
    int m_field;
};
