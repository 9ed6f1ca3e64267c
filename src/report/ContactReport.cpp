#include "report/ContactReport.h"

#include "report/ReportPreview.h"
#include "store/DataSource.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {

const std::array<QString, report::ColumnCount> kFields = {
    QStringLiteral("Nome"), QStringLiteral("Telefone"), QStringLiteral("Celular"),
    QStringLiteral("Comercial"), QStringLiteral("email"), QStringLiteral("Categoria"),
};

// The views stay still while the report walks the store, and show its state afresh afterwards.
class ViewsPaused
{
public:
    explicit ViewsPaused(DataSource *source) : m_source(source), m_was(source->Enabled())
    {
        m_source->SetEnabled(false);
    }
    ~ViewsPaused() { m_source->SetEnabled(m_was); }
    ViewsPaused(const ViewsPaused &) = delete;
    ViewsPaused &operator=(const ViewsPaused &) = delete;

private:
    DataSource *m_source;
    bool m_was;
};

} // namespace

ContactReport::ContactReport(DataSource *source, QObject *parent)
    : QObject(parent), m_source(source)
{
    setObjectName(QStringLiteral("ppReport1"));
}

QList<report::ReportRow> ContactReport::visibleRows()
{
    ContactStore *store = m_source->DataSet();
    // A pending change moves or drops a row when it settles, so only a browsing cursor's row
    // still names the same record after the walk.
    const bool browsing = store->State() == StoreState::Browse;
    const int rowBefore = store->currentRow();

    QList<report::ReportRow> rows;
    {
        const ViewsPaused paused(m_source);
        store->MoveFirst();
        for (; !store->AtEnd(); store->Next()) {
            report::ReportRow row;
            for (int c = 0; c < report::ColumnCount; ++c)
                row[c] = store->AsString(kFields[c]);
            rows.append(row);
        }
        if (browsing && rowBefore >= 0 && rowBefore < store->visibleRowCount())
            store->setCurrentRow(rowBefore);
        else
            store->MoveFirst();
    }
    return rows;
}

QList<report::ReportPage> ContactReport::build(const QDateTime &began)
{
    return report::layoutContactList(visibleRows(), began);
}

void ContactReport::Print(QWidget *parent)
{
    // The footer carries the moment the report began, the same on every page.
    const QDateTime began = QDateTime::currentDateTime();
    report::ReportPreview preview(build(began), parent);
    // Where no window manager honours the maximized state, the screen's free area still is.
    if (QScreen *screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen())
        preview.setGeometry(screen->availableGeometry());
    preview.setWindowState(preview.windowState() | Qt::WindowMaximized);
    preview.exec();
}
