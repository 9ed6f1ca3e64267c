#pragma once
// A box of several lines bound to one field of the data source's current record. It has no
// limit of its own: the field keeps the first characters of the text, as many as its width.

#include <QPlainTextEdit>

class DataSource;
class FieldLink;

class DBMemo : public QPlainTextEdit
{
    Q_OBJECT
public:
    DBMemo(DataSource *source, const QString &fieldName, QWidget *parent = nullptr);

    QString DataField() const;
    FieldLink *link() const { return m_link; }

    bool hasPendingText() const { return m_typed; }
    void writePending();               // throws StoreError
    void showField();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void showFieldUnlessTyping();

    FieldLink *m_link;
    bool m_typed = false;
    bool m_showing = false;
};
