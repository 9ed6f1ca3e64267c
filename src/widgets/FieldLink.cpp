#include "widgets/FieldLink.h"

#include "widgets/Messages.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QTimer>
#include <QWidget>

FieldLink::FieldLink(DataSource *source, const QString &fieldName, QObject *parent)
    : QObject(parent), m_source(source), m_store(source ? source->DataSet() : nullptr),
      m_fieldName(fieldName),
      m_field(ContactStore::fieldIndex(fieldName))
{
    Q_ASSERT(source && source->DataSet());
    Q_ASSERT(m_field >= 0);
    ContactStore *dataSet = source->DataSet();

    const auto whole = [this] {
        if (following())
            emit recordChanged();
    };
    connect(dataSet, &ContactStore::rowsReset, this, whole);
    connect(dataSet, &ContactStore::currentRowChanged, this, whole);
    connect(dataSet, &ContactStore::stateChanged, this, whole);
    connect(dataSet, &ContactStore::rowChanged, this, [this](int row) {
        if (following() && row == store()->currentRow())
            emit valuesChanged();
    });
    connect(source, &DataSource::enabledChanged, this, [this](bool on) {
        if (on)
            emit recordChanged();
    });
}

ContactStore *FieldLink::store() const
{
    return m_store;
}

int FieldLink::width() const
{
    return m_field >= 0 && !isDate() ? ContactStore::fieldDef(m_field).width : 0;
}

bool FieldLink::isDate() const
{
    return m_field >= 0 && ContactStore::fieldDef(m_field).isDate;
}

bool FieldLink::following() const
{
    return m_source && m_source->Enabled();
}

bool FieldLink::hasRecord() const
{
    const ContactStore *dataSet = store();
    return m_field >= 0 && dataSet && dataSet->Active() && dataSet->currentRow() >= 0;
}

bool FieldLink::editing() const
{
    return hasRecord() && store()->State() != StoreState::Browse;
}

QString FieldLink::value() const
{
    return hasRecord() ? store()->AsString(m_fieldName) : QString();
}

bool FieldLink::startEdit()
{
    if (editing())
        return true;
    if (!hasRecord() || store()->NoneVisible())
        return false;
    store()->Edit();
    return editing();
}

void FieldLink::write(const QString &text)
{
    if (!store())
        return;
    store()->SetAsString(m_fieldName, text);
}

bool FieldLink::changesText(const QKeyEvent *event, bool multiLine)
{
    if (event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Paste)
        || event->matches(QKeySequence::Undo))
        return true;
    switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return multiLine;
    default:
        break;
    }
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint()
        && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
}

bool FieldLink::admitKey(const QKeyEvent *event, bool multiLine)
{
    if (editing() || !changesText(event, multiLine))
        return true;
    bool started = false;
    Messages::guarded([&] { started = startEdit(); });
    return started;
}

bool FieldLink::leavesBox(const QFocusEvent *event)
{
    return event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
}

void FieldLink::reportWriteError(QWidget *box, const QString &message, std::function<void()> selectText)
{
    QTimer::singleShot(0, box, [box, message, selectText = std::move(selectText)] {
        Messages::errorReport(message);
        box->setFocus(Qt::OtherFocusReason);
        selectText();
    });
}
