#include "report/ReportPreview.h"

#include "widgets/Messages.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

namespace report {

namespace {

QPushButton *makeButton(const QString &text, const QString &name, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

ReportPreview::ReportPreview(const QList<ReportPage> &pages, QWidget *parent)
    : QDialog(parent), m_pages(pages)
{
    // A report always has at least one page, if only a blank one.
    if (m_pages.isEmpty())
        m_pages.append(ReportPage{});

    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(QStringLiteral("Visualizar impressão"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);

    auto *print = makeButton(QStringLiteral("Imprimir"), QStringLiteral("btImprimir"), this);
    m_first = makeButton(QStringLiteral("Primeira"), QStringLiteral("btPrimeira"), this);
    m_previous = makeButton(QStringLiteral("Anterior"), QStringLiteral("btAnterior"), this);
    m_next = makeButton(QStringLiteral("Próxima"), QStringLiteral("btProxima"), this);
    m_last = makeButton(QStringLiteral("Última"), QStringLiteral("btUltima"), this);
    m_first->setToolTip(QStringLiteral("Primeira página"));
    m_previous->setToolTip(QStringLiteral("Página anterior"));
    m_next->setToolTip(QStringLiteral("Próxima página"));
    m_last->setToolTip(QStringLiteral("Última página"));

    m_pageNumber = new QSpinBox(this);
    m_pageNumber->setObjectName(QStringLiteral("edPagina"));
    m_pageNumber->setRange(1, pageCount());
    m_pageNumber->setPrefix(QStringLiteral("Página "));
    m_pageTotal = new QLabel(QStringLiteral("de %1").arg(pageCount()), this);
    m_pageTotal->setObjectName(QStringLiteral("lbPaginas"));

    auto *searchLabel = new QLabel(QStringLiteral("Texto:"), this);
    m_searchText = new QLineEdit(this);
    m_searchText->setObjectName(QStringLiteral("edLocalizar"));
    m_searchText->setPlaceholderText(QStringLiteral("Localizar no relatório"));
    m_searchText->setClearButtonEnabled(true);
    m_searchText->setMinimumWidth(220);
    searchLabel->setBuddy(m_searchText);
    m_find = makeButton(QStringLiteral("Localizar"), QStringLiteral("btLocalizar"), this);
    m_findNext = makeButton(QStringLiteral("Próximo"), QStringLiteral("btProximo"), this);
    m_searchStatus = new QLabel(this);
    m_searchStatus->setObjectName(QStringLiteral("lbLocalizar"));
    auto *close = makeButton(QStringLiteral("Fechar"), QStringLiteral("btFechar"), this);

    auto *bar = new QHBoxLayout;
    bar->addWidget(print);
    bar->addSpacing(16);
    bar->addWidget(m_first);
    bar->addWidget(m_previous);
    bar->addWidget(m_pageNumber);
    bar->addWidget(m_pageTotal);
    bar->addWidget(m_next);
    bar->addWidget(m_last);
    bar->addSpacing(16);
    bar->addWidget(searchLabel);
    bar->addWidget(m_searchText);
    bar->addWidget(m_find);
    bar->addWidget(m_findNext);
    bar->addWidget(m_searchStatus);
    bar->addStretch(1);
    bar->addWidget(close);

    m_outline = new QTreeWidget(this);
    m_outline->setObjectName(QStringLiteral("outline"));
    m_outline->setHeaderHidden(true);
    m_outline->setColumnCount(1);
    auto *root = new QTreeWidgetItem(m_outline, {QStringLiteral("Relatório")});
    for (int n = 1; n <= pageCount(); ++n) {
        auto *item = new QTreeWidgetItem(root, {QStringLiteral("Página %1").arg(n)});
        item->setData(0, Qt::UserRole, n);
    }
    root->setExpanded(true);

    m_view = new ReportPageView;
    m_view->setObjectName(QStringLiteral("pageView"));
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scrollArea"));
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setWidget(m_view);

    auto *splitter = new QSplitter(this);
    splitter->addWidget(m_outline);
    splitter->addWidget(m_scroll);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({180, 900});

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(splitter, 1);

    connect(print, &QPushButton::clicked, this, &ReportPreview::print);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_first, &QPushButton::clicked, this, &ReportPreview::firstPage);
    connect(m_previous, &QPushButton::clicked, this, &ReportPreview::previousPage);
    connect(m_next, &QPushButton::clicked, this, &ReportPreview::nextPage);
    connect(m_last, &QPushButton::clicked, this, &ReportPreview::lastPage);
    connect(m_pageNumber, &QSpinBox::valueChanged, this, &ReportPreview::showPage);
    connect(m_outline, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *item) { onOutlineItemClicked(item); });
    connect(m_outline, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item) { onOutlineItemClicked(item); });
    connect(m_find, &QPushButton::clicked, this, &ReportPreview::findFirst);
    connect(m_findNext, &QPushButton::clicked, this, &ReportPreview::findNext);
    // Enter searches anew for a changed text and steps to the next match otherwise.
    connect(m_searchText, &QLineEdit::returnPressed, this, [this] {
        if (m_searchText->text() == m_searched && !m_matches.isEmpty())
            findNext();
        else
            findFirst();
    });
    connect(m_searchText, &QLineEdit::textChanged, this, [this] { updateControls(); });

    const auto shortcut = [this](QKeySequence::StandardKey key, void (ReportPreview::*slot)()) {
        connect(new QShortcut(key, this), &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence::MoveToPreviousPage, &ReportPreview::previousPage);
    shortcut(QKeySequence::MoveToNextPage, &ReportPreview::nextPage);
    shortcut(QKeySequence::FindNext, &ReportPreview::findNext);
    shortcut(QKeySequence::Print, &ReportPreview::print);
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, m_searchText,
            [this] { m_searchText->setFocus(); m_searchText->selectAll(); });

    showPage(1);
    resize(1000, 700);
}

void ReportPreview::showPage(int number)
{
    m_current = std::clamp(number, 1, pageCount()) - 1;
    const bool hitHere = m_matchIndex >= 0 && m_matches[m_matchIndex].page == m_current;
    m_highlight = hitHere ? m_matches[m_matchIndex].where : TextHighlight{};
    m_view->setPage(&m_pages[m_current], m_highlight);
    m_view->resize(m_view->sizeHint());
    updateControls();
}

void ReportPreview::firstPage() { showPage(1); }
void ReportPreview::previousPage() { showPage(currentPageNumber() - 1); }
void ReportPreview::nextPage() { showPage(currentPageNumber() + 1); }
void ReportPreview::lastPage() { showPage(pageCount()); }

void ReportPreview::onOutlineItemClicked(QTreeWidgetItem *item)
{
    if (item == nullptr)
        return;
    const QVariant number = item->data(0, Qt::UserRole);
    if (number.isValid())
        showPage(number.toInt());
}

void ReportPreview::updateControls()
{
    const int number = currentPageNumber();
    m_first->setEnabled(number > 1);
    m_previous->setEnabled(number > 1);
    m_next->setEnabled(number < pageCount());
    m_last->setEnabled(number < pageCount());
    {
        const QSignalBlocker block(m_pageNumber);
        m_pageNumber->setValue(number);
    }
    {
        const QSignalBlocker block(m_outline);
        m_outline->setCurrentItem(m_outline->topLevelItem(0)->child(m_current));
    }
    const bool hasText = !m_searchText->text().isEmpty();
    m_find->setEnabled(hasText);
    m_findNext->setEnabled(hasText);
}

void ReportPreview::collectMatches(const QString &needle)
{
    m_matches.clear();
    m_matchIndex = -1;
    m_searched = needle;
    if (needle.isEmpty())
        return;
    for (int p = 0; p < pageCount(); ++p) {
        const QList<ReportText> &texts = m_pages[p].texts;
        for (int t = 0; t < texts.size(); ++t) {
            for (qsizetype at = texts[t].text.indexOf(needle, 0, Qt::CaseInsensitive); at >= 0;
                 at = texts[t].text.indexOf(needle, at + needle.size(), Qt::CaseInsensitive))
                m_matches.append({p, TextHighlight{t, int(at), int(needle.size())}});
        }
    }
}

void ReportPreview::findFirst()
{
    collectMatches(m_searchText->text());
    if (m_matches.isEmpty()) {
        m_searchStatus->setText(m_searched.isEmpty()
                                    ? QString()
                                    : QStringLiteral("Texto não encontrado."));
        showPage(currentPageNumber());
        return;
    }
    showMatch(0);
}

void ReportPreview::findNext()
{
    if (m_searchText->text() != m_searched || m_matches.isEmpty()) {
        findFirst();
        return;
    }
    showMatch((m_matchIndex + 1) % int(m_matches.size()));
}

void ReportPreview::showMatch(int index)
{
    m_matchIndex = index;
    showPage(m_matches[index].page + 1);
    const QRect area = m_view->textArea(m_highlight.textIndex);
    m_scroll->ensureVisible(area.center().x(), area.center().y(), area.width() / 2 + 50,
                            area.height() / 2 + 50);
    m_searchStatus->setText(QStringLiteral("Ocorrência %1 de %2 (página %3)")
                                .arg(index + 1)
                                .arg(m_matches.size())
                                .arg(currentPageNumber()));
}

void ReportPreview::setUpPrinter(QPrinter &printer)
{
    printer.setDocName(QStringLiteral("Relatório"));
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(measure::kMargin, measure::kMargin,
                                                measure::kMargin, measure::kMargin),
                                      QPageLayout::Millimeter));
    // The layout places everything from the paper's corner, margins included.
    printer.setFullPage(true);
}

void ReportPreview::printTo(QPrinter &printer) const
{
    int from = 1;
    int to = pageCount();
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = std::max(printer.fromPage(), 1);
        to = std::min(printer.toPage() > 0 ? printer.toPage() : pageCount(), pageCount());
    } else if (printer.printRange() == QPrinter::CurrentPage) {
        from = to = currentPageNumber();
    }
    if (from > to)
        return;

    QPainter painter;
    if (!painter.begin(&printer))
        throw std::runtime_error("Não foi possível iniciar a impressão na impressora escolhida");
    for (int n = from; n <= to; ++n) {
        if (n > from && !printer.newPage())
            throw std::runtime_error("A impressora não aceitou uma nova página");
        paintReportPage(painter, m_pages[n - 1]);
    }
    if (!painter.end())
        throw std::runtime_error("A impressão não pôde ser concluída");
}

void ReportPreview::print()
{
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Imprimir"));
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, true);
    dialog.setMinMax(1, pageCount());
    if (dialog.exec() != QDialog::Accepted)
        return;
    Messages::guarded([&] { printTo(printer); });
}

ReportPageView::ReportPageView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ReportPageView::setPage(const ReportPage *page, const TextHighlight &highlight)
{
    m_page = page;
    m_highlight = highlight;
    update();
}

QSize ReportPageView::sizeHint() const
{
    return paperSizeOnDevice(this).toSize();
}

QRect ReportPageView::textArea(int textIndex) const
{
    if (m_page == nullptr || textIndex < 0 || textIndex >= m_page->texts.size())
        return {};
    const QRectF mm = textBoundsOnDevice(m_page->texts[textIndex], this);
    const QPointF scale = deviceUnitsPerMm(this);
    return QRectF(mm.left() * scale.x(), mm.top() * scale.y(), mm.width() * scale.x(),
                  mm.height() * scale.y())
        .toAlignedRect();
}

void ReportPageView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::gray);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (m_page != nullptr)
        paintReportPage(painter, *m_page, m_highlight);
}

} // namespace report
