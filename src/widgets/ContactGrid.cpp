#include "widgets/ContactGrid.h"

#include "widgets/Messages.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {

QFont namedFont(const QString &family, int points)
{
    QFont font(family);
    font.setPointSize(points);
    return font;
}

// Paints the current row in the grid's own colour with the normal text colour; no other
// highlight and no focus rectangle.
class ContactGridDelegate : public QStyledItemDelegate
{
public:
    explicit ContactGridDelegate(ContactGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem item(option);
        initStyleOption(&item, index);
        const bool current = index.row() == m_grid->shownCurrentRow();
        painter->fillRect(item.rect, current ? QColor(ContactGrid::kCurrentRowColour)
                                             : item.palette.color(QPalette::Base));
        painter->setFont(item.font);
        painter->setPen(item.palette.color(QPalette::Text));
        painter->drawText(item.rect.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          item.text);
    }

private:
    ContactGrid *m_grid;
};

} // namespace

const std::array<ContactGridModel::Column, 7> &ContactGridModel::columns()
{
    static const std::array<Column, 7> list{{
        {ContactStore::Nome, 184},
        {ContactStore::Telefone, 90},
        {ContactStore::Celular, 90},
        {ContactStore::Comercial, 90},
        {ContactStore::Cidade, 115},
        {ContactStore::email, 130},
        {ContactStore::site, 120},
    }};
    return list;
}

QFont ContactGridModel::nameFont()
{
    return namedFont(QStringLiteral("MS Sans Serif"), 8);
}

QFont ContactGridModel::cellFont()
{
    return namedFont(QStringLiteral("Tahoma"), 8);
}

QFont ContactGridModel::headerFont()
{
    return namedFont(QStringLiteral("MS Sans Serif"), 8);
}

ContactGridModel::ContactGridModel(DataSource *source, QObject *parent)
    : QAbstractTableModel(parent), m_source(source)
{
    ContactStore *store = source->DataSet();
    m_rows = store->visibleRowCount();
    connect(store, &ContactStore::rowsReset, this, [this] {
        if (m_source->Enabled())
            refresh();
    });
    connect(store, &ContactStore::rowChanged, this, &ContactGridModel::storeRowChanged);
    // Switched back on: show the store as it is now.
    connect(source, &DataSource::enabledChanged, this, [this](bool on) {
        if (on)
            refresh();
    });
}

void ContactGridModel::refresh()
{
    beginResetModel();
    m_rows = m_source->DataSet()->visibleRowCount();
    endResetModel();
}

void ContactGridModel::storeRowChanged(int row)
{
    if (!m_source->Enabled() || row < 0 || row >= m_rows)
        return;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1), {Qt::DisplayRole});
}

int ContactGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : qMax(1, m_rows);
}

int ContactGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(columns().size());
}

QVariant ContactGridModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        const ContactStore *store = m_source->DataSet();
        // The store may have moved on while the grid was not following it.
        if (index.row() >= m_rows || index.row() >= store->visibleRowCount())
            return QString();
        return store->valueAt(index.row(), columns()[index.column()].field);
    }
    case Qt::FontRole:
        return index.column() == 0 ? nameFont() : cellFont();
    default:
        return {};
    }
}

QVariant ContactGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        const ContactStore::FieldDef &def = ContactStore::fieldDef(columns()[section].field);
        return def.displayLabel.isEmpty() ? def.name : def.displayLabel;
    }
    case Qt::FontRole:
        return headerFont();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return {};
    }
}

Qt::ItemFlags ContactGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

ContactGrid::ContactGrid(DataSource *source, QWidget *parent)
    : QTableView(parent), m_source(source), m_model(new ContactGridModel(source, this))
{
    setModel(m_model);
    setItemDelegate(new ContactGridDelegate(this));
    setEditTriggers(NoEditTriggers);
    setSelectionMode(NoSelection);
    setTabKeyNavigation(false);
    setSortingEnabled(false);
    setCornerButtonEnabled(false);
    setDragEnabled(false);
    setShowGrid(true);
    setWordWrap(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(ScrollPerItem);
    setFocusPolicy(Qt::StrongFocus);

    QHeaderView *rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(ContactGridModel::kRowHeight);
    rows->setDefaultSectionSize(ContactGridModel::kRowHeight);

    QHeaderView *header = horizontalHeader();
    header->setFont(ContactGridModel::headerFont());
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsMovable(false);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setFixedHeight(ContactGridModel::kRowHeight);
    header->viewport()->installEventFilter(this);
    const auto &columns = ContactGridModel::columns();
    for (int c = 0; c < int(columns.size()); ++c)
        setColumnWidth(c, columns[c].width);

    ContactStore *dataSet = store();
    connect(m_model, &QAbstractItemModel::modelReset, this, &ContactGrid::followStore);
    connect(dataSet, &ContactStore::currentRowChanged, this, [this] {
        if (m_source->Enabled())
            followStore();
    });
    connect(source, &DataSource::enabledChanged, this, [this](bool on) {
        setUpdatesEnabled(on);
        if (on)
            followStore();
    });
    // Dragging the scroll bar, clicking it or turning the wheel moves the cursor along, so
    // the current row stays in view. The move is applied once the bar has its new value.
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] {
        QTimer::singleShot(0, this, [this] { Messages::guarded([this] { keepCursorInView(); }); });
    });
    followStore();
}

void ContactGrid::followStore()
{
    const int storeRow = store()->currentRow();
    const int row = (storeRow >= 0 && storeRow < m_model->recordRows()) ? storeRow : 0;
    setCurrentIndex(m_model->index(row, qMax(0, currentIndex().column())));
    scrollTo(currentIndex(), EnsureVisible);
}

void ContactGrid::moveStoreCursor(int row)
{
    if (m_model->recordRows() == 0)
        return;
    row = qBound(0, row, m_model->recordRows() - 1);
    if (row == store()->currentRow())
        return;
    store()->setCurrentRow(row);
}

void ContactGrid::keepCursorInView()
{
    if (m_model->recordRows() == 0 || !m_source->Enabled())
        return;
    const int first = rowAt(0);
    int last = rowAt(viewport()->height() - 1);
    if (first < 0)
        return;
    if (last < 0)
        last = m_model->rowCount() - 1;
    // A row cut by the bottom edge does not count as in view.
    if (last > first && rowViewportPosition(last) + rowHeight(last) > viewport()->height())
        --last;
    const int current = store()->currentRow();
    if (current < first)
        moveStoreCursor(first);
    else if (current > last)
        moveStoreCursor(last);
}

int ContactGrid::rowsPerPage() const
{
    return qMax(1, viewport()->height() / ContactGridModel::kRowHeight);
}

void ContactGrid::keyPressEvent(QKeyEvent *event)
{
    const int current = store()->currentRow();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!plain) {
        event->ignore();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Up:
        Messages::guarded([&] { moveStoreCursor(current - 1); });
        break;
    case Qt::Key_Down:
        Messages::guarded([&] { moveStoreCursor(current + 1); });
        break;
    case Qt::Key_PageUp:
        Messages::guarded([&] { moveStoreCursor(current - rowsPerPage()); });
        break;
    case Qt::Key_PageDown:
        Messages::guarded([&] { moveStoreCursor(current + rowsPerPage()); });
        break;
    case Qt::Key_Escape:
        Messages::guarded([&] { store()->Cancel(); });
        break;
    default:
        event->ignore();
        return;
    }
    event->accept();
}

void ContactGrid::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && index.row() < m_model->recordRows())
        Messages::guarded([&] { moveStoreCursor(index.row()); });
}

void ContactGrid::mouseMoveEvent(QMouseEvent *)
{
    // No drag selection and no dragging of rows.
}

void ContactGrid::mouseReleaseEvent(QMouseEvent *)
{
}

void ContactGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit gridDoubleClicked();
}

bool ContactGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == horizontalHeader()->viewport() && event->type() == QEvent::MouseButtonDblClick
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        emit gridDoubleClicked();
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

void ContactGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    // The whole row is painted as current, not only the cell.
    if (previous.isValid())
        updateRow(previous.row());
    if (current.isValid())
        updateRow(current.row());
}

void ContactGrid::updateRow(int row)
{
    viewport()->update(QRect(0, rowViewportPosition(row), viewport()->width(), rowHeight(row)));
}
