#pragma once
// The contact list report laid out in bands: title, page header, one detail band per contact and
// page footer, paginated onto A4 portrait pages. Pure: every measure is in millimetres from the
// paper's top-left corner; drawing is ReportPainter's job.

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QRectF>
#include <QString>

#include <array>

namespace report {

// The six columns the report lists, in the order they are printed.
enum Column { Nome, Telefone, Celular, Comercial, Email, Categoria, ColumnCount };

// One listed contact: its six texts, indexed by Column.
using ReportRow = std::array<QString, ColumnCount>;

inline const QColor kTeal = QColor(0, 128, 128);

namespace measure {
inline constexpr qreal kPaperWidth = 210.0;
inline constexpr qreal kPaperHeight = 297.0;
inline constexpr qreal kMargin = 6.35;
inline constexpr qreal kTitleBandHeight = 12.435;
inline constexpr qreal kHeaderBandHeight = 6.879;
inline constexpr qreal kDetailBandHeight = 6.615;
inline constexpr qreal kFooterBandHeight = 6.35;
inline constexpr qreal kPointInMm = 25.4 / 72.0;
} // namespace measure

enum class BandKind { Title, PageHeader, Detail, PageFooter };

// How a text element treats content wider than its box.
enum class TextFit {
    Clip,      // cut at the box's right edge
    GrowRight, // the box widens to the right to take the whole text
    GrowLeft,  // the box widens to the left, its right edge staying put
};

struct ReportText
{
    BandKind band;
    QRectF rect;             // the box as designed; a growing box may end up wider
    QString text;
    QString fontFamily = QStringLiteral("Arial");
    qreal pointSize = 10;
    bool bold = false;
    QColor colour = Qt::black;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    TextFit fit = TextFit::Clip;

    // The box the text occupies once its content is `textWidth` millimetres wide.
    QRectF boundsFor(qreal textWidth) const;
};

// A horizontal rule: `rect` is the area the pen covers (its height is the pen's weight).
struct ReportLine
{
    BandKind band;
    QRectF rect;
    qreal penWidthPoints;
    QColor colour;
};

struct ReportBand
{
    BandKind kind;
    QRectF rect;
};

struct ReportPage
{
    int number = 1;
    QList<ReportBand> bands;   // top to bottom
    QList<ReportText> texts;   // in reading order
    QList<ReportLine> lines;
};

// The footer's date and time: short date, a blank, long time; the time is left out at midnight.
QString footerDateTimeText(const QDateTime &began);

// Lays the rows out in order. With no rows the report is one blank page.
QList<ReportPage> layoutContactList(const QList<ReportRow> &rows, const QDateTime &began);

} // namespace report
