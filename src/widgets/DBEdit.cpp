#include "widgets/DBEdit.h"

#include "widgets/FieldLink.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace {
const QChar kDateBlank = u'_';
}

DBEdit::DBEdit(DataSource *source, const QString &fieldName, QWidget *parent)
    : QLineEdit(parent), m_link(new FieldLink(source, fieldName, this))
{
    if (m_link->isDate())
        setInputMask(QStringLiteral("99/99/9999;") + kDateBlank); // also limits the box to 10
    else if (m_link->width() > 0)
        setMaxLength(m_link->width());

    connect(m_link, &FieldLink::recordChanged, this, &DBEdit::showField);
    connect(m_link, &FieldLink::valuesChanged, this, &DBEdit::showFieldUnlessTyping);
    showField();
}

QString DBEdit::DataField() const
{
    return m_link->fieldName();
}

QString DBEdit::handedOverText() const
{
    if (!m_link->isDate())
        return text();
    QString shown = displayText();
    shown.replace(kDateBlank, u' ');
    QString positions = shown;
    positions.remove(u'/');
    if (positions.trimmed().isEmpty())
        return QString();
    return shown;
}

void DBEdit::writePending()
{
    if (!hasPendingText())
        return;
    m_link->write(handedOverText());
    setModified(false);
    showField();
}

void DBEdit::showField()
{
    const QString value = m_link->value();
    // Comparing first keeps the cursor where it is when the value did not change, so the key
    // that starts an edit lands where the user put it.
    if (handedOverText() != value)
        setText(value);
    setModified(false);
    setReadOnly(!m_link->editing());
}

void DBEdit::showFieldUnlessTyping()
{
    if (!hasPendingText())
        showField();
}

void DBEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        showField();
        selectAll();
        event->accept();
        return;
    }
    if (!m_link->admitKey(event, false)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void DBEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    if (!FieldLink::leavesBox(event))
        return;
    try {
        writePending();
    } catch (const std::exception &error) {
        FieldLink::reportWriteError(this, QString::fromUtf8(error.what()), [this] { selectAll(); });
    }
}
