#pragma once
// Draws one laid-out report page on any paint device (preview widget, printer, PDF, image), so
// that what the preview shows is what the printer prints. Millimetres become device units through
// the device's logical resolution; the painter's own transform places the page.

#include "report/ReportLayout.h"

class QPainter;
class QPaintDevice;

namespace report {

// Part of one text element to mark, as a search hit: `length` characters from `from`.
struct TextHighlight
{
    int textIndex = -1;   // index into ReportPage::texts
    int from = 0;
    int length = 0;
};

// Device units per millimetre, horizontally and vertically.
QPointF deviceUnitsPerMm(const QPaintDevice *device);

// The whole sheet of paper in device units.
QSizeF paperSizeOnDevice(const QPaintDevice *device);

// The box a text element occupies on the device once growing boxes have taken their text, in mm.
QRectF textBoundsOnDevice(const ReportText &text, const QPaintDevice *device);

void paintReportPage(QPainter &painter, const ReportPage &page,
                     const TextHighlight &highlight = {});

} // namespace report
