#pragma once
// The contact list: a read-only grid of the store's visible records, one row per contact, whose
// current row is the store's current record both ways. It reads rows straight from the store
// (nothing is copied), so it opens as fast on a large list as on a small one.

#include "store/DataSource.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QTableView>
#include <array>

class ContactGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct Column
    {
        int field;
        int width;
    };
    static const std::array<Column, 7> &columns();
    static constexpr int kRowHeight = 21;

    explicit ContactGridModel(DataSource *source, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Rows that hold a record; with none, the grid still shows one blank row.
    int recordRows() const { return m_rows; }
    // Shows the store's rows afresh.
    void refresh();

    static QFont nameFont();
    static QFont cellFont();
    static QFont headerFont();

private:
    void storeRowChanged(int row);

    DataSource *m_source;
    int m_rows = 0;   // the store's visible rows when the grid last followed it
};

class ContactGrid : public QTableView
{
    Q_OBJECT
public:
    static constexpr QRgb kCurrentRowColour = 0xFFF2F5FF; // red 242, green 245, blue 255

    explicit ContactGrid(DataSource *source, QWidget *parent = nullptr);

    ContactGridModel *gridModel() const { return m_model; }
    // The row the grid shows as current (0 for the blank row of an empty list).
    int shownCurrentRow() const { return currentIndex().row(); }

signals:
    // A double click anywhere on the grid, the header included.
    void gridDoubleClicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ContactStore *store() const { return m_source->DataSet(); }
    void followStore();
    void moveStoreCursor(int row);
    void keepCursorInView();
    int rowsPerPage() const;
    void updateRow(int row);

    DataSource *m_source;
    ContactGridModel *m_model;
};
