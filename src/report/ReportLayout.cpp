#include "report/ReportLayout.h"

#include <optional>

namespace report {

using namespace measure;

namespace {

struct ColumnBox { qreal left; qreal width; };

const QString kTitle = QStringLiteral("Listagem dos contatos telefônicos");

const std::array<QString, ColumnCount> kCaptions = {
    QStringLiteral("Nome"), QStringLiteral("Telefone"), QStringLiteral("Celular"),
    QStringLiteral("Comercial"), QStringLiteral("email"), QStringLiteral("Categoria"),
};

// Captions and values have their own boxes: a value may run under the gap after its caption.
constexpr std::array<ColumnBox, ColumnCount> kCaptionBoxes = {{
    {1.323, 42.333}, {58.738, 17.198}, {78.846, 13.758},
    {98.425, 19.050}, {120.650, 21.431}, {160.602, 34.396},
}};
constexpr std::array<ColumnBox, ColumnCount> kValueBoxes = {{
    {1.323, 56.886}, {58.738, 19.050}, {78.846, 19.050},
    {98.425, 21.167}, {120.650, 39.688}, {160.867, 35.454},
}};

constexpr qreal kBodyLeft = kMargin;
constexpr qreal kBodyTop = kMargin;
constexpr qreal kBodyWidth = kPaperWidth - 2 * kMargin;
constexpr qreal kFooterTop = kPaperHeight - kMargin - kFooterBandHeight;
// Band tops are sums of decimal measures: allow for the rounding of those sums.
constexpr qreal kTolerance = 1e-6;

class PageBuilder
{
public:
    explicit PageBuilder(int number) { m_page.number = number; }

    int number() const { return m_page.number; }
    qreal bandTop() const { return m_y; }

    void addBand(BandKind kind, qreal height)
    {
        m_band = kind;
        m_bandTop = m_y;
        m_page.bands.append({kind, QRectF(kBodyLeft, m_y, kBodyWidth, height)});
        m_y += height;
    }

    void placeBandAt(BandKind kind, qreal top, qreal height)
    {
        m_y = top;
        addBand(kind, height);
    }

    void addText(qreal left, qreal top, qreal width, qreal height, const QString &text,
                 qreal pointSize, bool bold, const QColor &colour,
                 Qt::Alignment horizontal = Qt::AlignLeft, TextFit fit = TextFit::Clip)
    {
        ReportText t{m_band, QRectF(kBodyLeft + left, m_bandTop + top, width, height), text};
        t.pointSize = pointSize;
        t.bold = bold;
        t.colour = colour;
        t.alignment = horizontal | Qt::AlignTop;
        t.fit = fit;
        m_page.texts.append(t);
    }

    void addLine(qreal left, qreal top, qreal width, qreal penWidthPoints)
    {
        m_page.lines.append({m_band,
                             QRectF(kBodyLeft + left, m_bandTop + top, width,
                                    penWidthPoints * kPointInMm),
                             penWidthPoints, kTeal});
    }

    ReportPage take() { return std::move(m_page); }

private:
    ReportPage m_page;
    BandKind m_band = BandKind::Title;
    qreal m_bandTop = kBodyTop;
    qreal m_y = kBodyTop;
};

void addTitleBand(PageBuilder &page)
{
    page.addBand(BandKind::Title, kTitleBandHeight);
    page.addText(1.323, 1.323, 150.813, 9.790, kTitle, 24, true, kTeal);
}

void addHeaderBand(PageBuilder &page)
{
    page.addBand(BandKind::PageHeader, kHeaderBandHeight);
    for (int c = 0; c < ColumnCount; ++c)
        page.addText(kCaptionBoxes[c].left, 1.323, kCaptionBoxes[c].width, 4.233, kCaptions[c],
                     10, true, Qt::black);
    page.addLine(1.323, 5.556, 194.734, 1.5);
}

void addDetailBand(PageBuilder &page, const ReportRow &row)
{
    page.addBand(BandKind::Detail, kDetailBandHeight);
    for (int c = 0; c < ColumnCount; ++c)
        page.addText(kValueBoxes[c].left, 0.529, kValueBoxes[c].width, 4.763, row[c], 10, false,
                     Qt::black);
}

void addFooterBand(PageBuilder &page, const QString &dateTime)
{
    page.placeBandAt(BandKind::PageFooter, kFooterTop, kFooterBandHeight);
    page.addLine(1.323, 5.027, 194.734, 3.75);
    page.addText(1.323, 1.323, 29.083, 3.598, dateTime, 9, false, Qt::black, Qt::AlignLeft,
                 TextFit::GrowRight);
    page.addText(186.002, 1.323, 10.118, 3.598,
                 QStringLiteral("Page %1").arg(page.number()), 9, false, Qt::black,
                 Qt::AlignRight, TextFit::GrowLeft);
}

} // namespace

QRectF ReportText::boundsFor(qreal textWidth) const
{
    if (textWidth <= rect.width() || fit == TextFit::Clip)
        return rect;
    QRectF grown = rect;
    if (fit == TextFit::GrowRight)
        grown.setWidth(textWidth);
    else
        grown.setLeft(rect.right() - textWidth);
    return grown;
}

QString footerDateTimeText(const QDateTime &began)
{
    const QString date = began.date().toString(QStringLiteral("dd/MM/yyyy"));
    if (began.time() == QTime(0, 0))
        return date;
    return date + QLatin1Char(' ') + began.time().toString(QStringLiteral("HH:mm:ss"));
}

QList<ReportPage> layoutContactList(const QList<ReportRow> &rows, const QDateTime &began)
{
    QList<ReportPage> pages;
    if (rows.isEmpty()) {
        ReportPage blank;
        blank.number = 1;
        pages.append(blank);
        return pages;
    }

    const QString dateTime = footerDateTimeText(began);
    std::optional<PageBuilder> page;

    const auto startPage = [&] {
        page.emplace(int(pages.size()) + 1);
        if (pages.isEmpty())
            addTitleBand(*page);
        addHeaderBand(*page);
    };
    const auto finishPage = [&] {
        addFooterBand(*page, dateTime);
        pages.append(page->take());
    };

    startPage();
    for (const ReportRow &row : rows) {
        if (page->bandTop() + kDetailBandHeight > kFooterTop + kTolerance) {
            finishPage();
            startPage();
        }
        addDetailBand(*page, row);
    }
    finishPage();
    return pages;
}

} // namespace report
