#include "widgets/DBMemo.h"

#include "widgets/FieldLink.h"

#include <QFocusEvent>
#include <QKeyEvent>

DBMemo::DBMemo(DataSource *source, const QString &fieldName, QWidget *parent)
    : QPlainTextEdit(parent), m_link(new FieldLink(source, fieldName, this))
{
    setTabChangesFocus(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);

    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_showing)
            m_typed = true;
    });
    connect(m_link, &FieldLink::recordChanged, this, &DBMemo::showField);
    connect(m_link, &FieldLink::valuesChanged, this, &DBMemo::showFieldUnlessTyping);
    showField();
}

QString DBMemo::DataField() const
{
    return m_link->fieldName();
}

void DBMemo::writePending()
{
    if (!m_typed)
        return;
    m_link->write(toPlainText());
    m_typed = false;
    showField();
}

void DBMemo::showField()
{
    const QString value = m_link->value();
    m_showing = true;
    if (toPlainText() != value)
        setPlainText(value);
    m_showing = false;
    m_typed = false;
    setReadOnly(!m_link->editing());
}

void DBMemo::showFieldUnlessTyping()
{
    if (!m_typed)
        showField();
}

void DBMemo::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        showField();
        selectAll();
        event->accept();
        return;
    }
    if (!m_link->admitKey(event, true)) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void DBMemo::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    if (!FieldLink::leavesBox(event))
        return;
    try {
        writePending();
    } catch (const std::exception &error) {
        FieldLink::reportWriteError(this, QString::fromUtf8(error.what()), [this] { selectAll(); });
    }
}
