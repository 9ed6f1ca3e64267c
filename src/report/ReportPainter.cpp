#include "report/ReportPainter.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>

namespace report {

namespace {

QFont fontFor(const ReportText &text)
{
    QFont font(text.fontFamily);
    font.setPointSizeF(text.pointSize);
    font.setBold(text.bold);
    return font;
}

QRectF toDevice(const QRectF &mm, const QPointF &scale)
{
    return QRectF(mm.left() * scale.x(), mm.top() * scale.y(), mm.width() * scale.x(),
                  mm.height() * scale.y());
}

} // namespace

QPointF deviceUnitsPerMm(const QPaintDevice *device)
{
    return QPointF(device->logicalDpiX() / 25.4, device->logicalDpiY() / 25.4);
}

QSizeF paperSizeOnDevice(const QPaintDevice *device)
{
    const QPointF scale = deviceUnitsPerMm(device);
    return QSizeF(measure::kPaperWidth * scale.x(), measure::kPaperHeight * scale.y());
}

QRectF textBoundsOnDevice(const ReportText &text, const QPaintDevice *device)
{
    if (text.fit == TextFit::Clip)
        return text.rect;
    const QFontMetricsF metrics(fontFor(text), const_cast<QPaintDevice *>(device));
    return text.boundsFor(metrics.horizontalAdvance(text.text) / deviceUnitsPerMm(device).x());
}

void paintReportPage(QPainter &painter, const ReportPage &page, const TextHighlight &highlight)
{
    QPaintDevice *device = painter.device();
    const QPointF scale = deviceUnitsPerMm(device);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const ReportLine &line : page.lines)
        painter.fillRect(toDevice(line.rect, scale), line.colour);

    painter.setRenderHint(QPainter::TextAntialiasing, true);
    for (qsizetype i = 0; i < page.texts.size(); ++i) {
        const ReportText &text = page.texts[i];
        if (text.text.isEmpty())
            continue;
        const QFont font = fontFor(text);
        const QFontMetricsF metrics(font, device);
        const QRectF box = toDevice(textBoundsOnDevice(text, device), scale);
        const qreal advance = metrics.horizontalAdvance(text.text);
        const qreal textLeft = text.alignment & Qt::AlignRight ? box.right() - advance : box.left();

        painter.save();
        // Content wider than a clipping box is cut at the box's edge, never wrapped.
        painter.setClipRect(box, Qt::IntersectClip);
        if (highlight.textIndex == i && highlight.length > 0) {
            const qreal from = textLeft + metrics.horizontalAdvance(text.text.left(highlight.from));
            const qreal width = metrics.horizontalAdvance(text.text.mid(highlight.from,
                                                                       highlight.length));
            painter.fillRect(QRectF(from, box.top(), width, box.height()),
                             QColor(255, 220, 0, 170));
        }
        painter.setFont(font);
        painter.setPen(text.colour);
        painter.drawText(QRectF(textLeft, box.top(), advance, box.height()),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine
                             | Qt::TextDontClip,
                         text.text);
        painter.restore();
    }
    painter.restore();
}

} // namespace report
