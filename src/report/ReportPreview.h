#pragma once
// The report's screen preview: a modal window showing one page at a time at 100 % zoom, an outline
// of the pages beside it, page navigation, text search over the report and printing through the
// printer dialog. Pages are drawn by paintReportPage, the same routine that prints them.

#include "report/ReportPainter.h"

#include <QDialog>
#include <QList>

class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

namespace report {

class ReportPageView;

class ReportPreview : public QDialog
{
    Q_OBJECT
public:
    explicit ReportPreview(const QList<ReportPage> &pages, QWidget *parent = nullptr);

    int pageCount() const { return int(m_pages.size()); }
    int currentPageNumber() const { return m_current + 1; }
    const TextHighlight &currentHighlight() const { return m_highlight; }

    // A4 portrait, 6.35 mm margins, painting from the paper's corner, job named "Relatório".
    static void setUpPrinter(QPrinter &printer);
    // Prints the pages the printer's range selects (all when none is set).
    void printTo(QPrinter &printer) const;

public slots:
    void showPage(int number);
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    // Searches from the report's start; Próximo then steps through the matches in turn.
    void findFirst();
    void findNext();
    void print();

private:
    struct Match { int page; TextHighlight where; };

    void onOutlineItemClicked(QTreeWidgetItem *item);
    void collectMatches(const QString &needle);
    void showMatch(int index);
    void updateControls();

    QList<ReportPage> m_pages;
    int m_current = 0;
    TextHighlight m_highlight;
    QList<Match> m_matches;
    QString m_searched;
    int m_matchIndex = -1;

    QTreeWidget *m_outline;
    QScrollArea *m_scroll;
    ReportPageView *m_view;
    QPushButton *m_first;
    QPushButton *m_previous;
    QPushButton *m_next;
    QPushButton *m_last;
    QSpinBox *m_pageNumber;
    QLabel *m_pageTotal;
    QLineEdit *m_searchText;
    QPushButton *m_find;
    QPushButton *m_findNext;
    QLabel *m_searchStatus;
};

// One page on screen, at the widget's own resolution, with the current search hit marked.
class ReportPageView : public QWidget
{
    Q_OBJECT
public:
    explicit ReportPageView(QWidget *parent = nullptr);

    void setPage(const ReportPage *page, const TextHighlight &highlight);
    const ReportPage *page() const { return m_page; }
    // The widget area of a text element's box, for scrolling a hit into view.
    QRect textArea(int textIndex) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const ReportPage *m_page = nullptr;
    TextHighlight m_highlight;
};

} // namespace report
