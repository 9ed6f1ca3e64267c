#pragma once
// The one data source between the store and its views (grid, editor boxes, report walk).
// While it is switched off the views neither follow the cursor nor repaint.

#include "store/ContactStore.h"

#include <QObject>

class DataSource : public QObject
{
    Q_OBJECT
public:
    explicit DataSource(ContactStore *dataSet, QObject *parent = nullptr)
        : QObject(parent), m_dataSet(dataSet) {}

    ContactStore *DataSet() const { return m_dataSet; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool on)
    {
        if (on == m_enabled)
            return;
        m_enabled = on;
        emit enabledChanged(on);
    }

signals:
    // Switched on again: views show the store's current state afresh.
    void enabledChanged(bool on);

private:
    ContactStore *m_dataSet;
    bool m_enabled = true;
};
