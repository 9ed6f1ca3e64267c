#pragma once
// The contact list report, `ppReport1`: walks the visible records of the store through its data
// source, in the active order and under the active filter, lays them out and shows the preview.

#include "report/ReportLayout.h"

#include <QObject>

class DataSource;
class QWidget;

class ContactReport : public QObject
{
    Q_OBJECT
public:
    explicit ContactReport(DataSource *source, QObject *parent = nullptr);

    // The rows the report lists. The walk moves the store's cursor from the first visible record
    // and so settles a pending change; the cursor goes back to the row it was on where it can.
    QList<report::ReportRow> visibleRows();

    // The report's pages, its footer stamped with `began`.
    QList<report::ReportPage> build(const QDateTime &began);

    // Produces the report to the screen: the modal preview, from which the user prints. Returns
    // when the preview closes.
    void Print(QWidget *parent);

private:
    DataSource *m_source;
};
