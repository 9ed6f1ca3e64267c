#pragma once
// The small mark-up of the fading alert: parsed into formatted runs and lines, measured and
// painted with QPainter. Only B, FONT (color, face, size) and BR have an effect; any other tag
// is dropped and its inner text kept; nothing is ever loaded (no images, links or resources).
//
// Reading rules:
// - Tag and attribute names are matched without regard to case; values may be quoted with " or '
//   or stand unquoted. A tag ends at the first ">" and holds no "<"; a "<" that does not begin
//   such a well-formed tag ("a < b", "<<b>", an unclosed "<FONT") is shown as it stands.
// - Entities: &amp; &lt; &gt; &quot; &apos; &nbsp; and numeric ones (&#233; &#xE9;) are decoded,
//   in text and in attribute values; anything else after "&" is shown as it stands.
// - FONT: color as #RRGGBB, face a typeface name, size 1 to 5 meaning 8, 10, 12, 14, 16 points,
//   any other whole number the size in points (kept within 1..72 so a text cannot make the alert
//   larger than any screen). A value that does not read keeps the surrounding setting.
// - Whitespace is kept as typed (no collapsing); a line-feed, carriage return or tab in the text
//   shows as one blank. Lines break only at BR; a final empty line after the last BR is not shown.
// Reading is linear in the length of the text, whatever its nesting or breakage.

#include <QColor>
#include <QFont>
#include <QList>
#include <QSizeF>
#include <QString>

class QPainter;
class QPaintDevice;
class QPointF;

struct AlertTextFormat
{
    bool bold = false;
    QString face;      // empty: the alert's own typeface
    int pointSize = 0; // 0: the alert's own size
    QColor color;      // invalid: the alert's own text colour

    bool operator==(const AlertTextFormat &other) const = default;
};

struct AlertTextRun
{
    QString text;
    AlertTextFormat format;
};

struct AlertTextLine
{
    QList<AlertTextRun> runs;
    AlertTextFormat endFormat; // the format in effect where the line ends: sizes an empty line
};

struct AlertText
{
    QList<AlertTextLine> lines;

    QString plainText() const; // the shown text, lines joined with "\n"
};

AlertText parseAlertMarkup(const QString &markup);

// Font sizes of FONT's "size" attribute: 1..5 are the classic steps, other numbers points.
int alertFontPointSize(int sizeAttribute);

// The measured text, ready to paint. Metrics come from `device` (the widget painted on), so the
// size and the painting agree.
class AlertTextLayout
{
public:
    AlertTextLayout() = default;
    AlertTextLayout(const AlertText &text, const QFont &baseFont, const QColor &baseColor,
                    const QPaintDevice *device = nullptr);

    QSizeF size() const { return m_size; }
    void paint(QPainter &painter, const QPointF &topLeft) const;

    QFont fontFor(const AlertTextFormat &format) const;
    QColor colorFor(const AlertTextFormat &format) const;

private:
    struct PlacedRun { QString text; QFont font; QColor color; qreal x; };
    struct PlacedLine { QList<PlacedRun> runs; qreal baseline; };

    QFont m_baseFont;
    QColor m_baseColor;
    QList<PlacedLine> m_lines;
    QSizeF m_size;
};
