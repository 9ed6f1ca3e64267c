#pragma once
// A one-line box bound to one field of the data source's current record: it shows the field,
// takes at most the field's width, and writes what the user typed when the focus leaves it or
// when the record is about to be committed. The date field gets the mask "99/99/9999".

#include <QLineEdit>

class DataSource;
class FieldLink;

class DBEdit : public QLineEdit
{
    Q_OBJECT
public:
    DBEdit(DataSource *source, const QString &fieldName, QWidget *parent = nullptr);

    QString DataField() const;
    FieldLink *link() const { return m_link; }

    // True when the user typed since the box last showed or wrote its field.
    bool hasPendingText() const { return isModified(); }
    // The text the box gives its field: for the date box the untyped positions are blanks,
    // and a box with every position blank gives an empty text (a null date).
    QString handedOverText() const;
    // Writes the typed text into the field, if there is any; throws StoreError.
    void writePending();
    // Shows the field's current value, dropping what was typed since the last write.
    void showField();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void showFieldUnlessTyping();

    FieldLink *m_link;
};
