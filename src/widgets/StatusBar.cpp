#include "widgets/StatusBar.h"

#include <QLinearGradient>
#include <QPainter>
#include <QSizeGrip>

namespace {

const QColor kTop(231, 240, 252);
const QColor kMiddle(215, 229, 248);
const QColor kLow(199, 216, 241);
const QColor kBottom(220, 233, 250);
const QColor kBorder(141, 178, 227);
const QColor kText(21, 66, 139);
constexpr int kGripWidth = 16;

} // namespace

StatusBar::StatusBar(QWidget *parent) : QWidget(parent), m_grip(new QSizeGrip(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_grip->setFocusPolicy(Qt::NoFocus);
}

int StatusBar::addPanel(int width, const QString &text)
{
    m_panels.push_back(Panel{width, text});
    update();
    return int(m_panels.size()) - 1;
}

void StatusBar::setPanelText(int panel, const QString &text)
{
    m_panels.at(panel).text = text;
    update();
}

QRect StatusBar::panelRect(int panel) const
{
    int left = 0;
    for (int i = 0; i < panel; ++i)
        left += m_panels[i].width;
    const int w = m_panels.at(panel).width > 0 ? m_panels[panel].width
                                               : qMax(0, width() - left - kGripWidth);
    return QRect(left, 0, w, height());
}

void StatusBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_grip->setGeometry(width() - kGripWidth, height() - kGripWidth, kGripWidth, kGripWidth);
}

void StatusBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRectF bar(rect());
    QLinearGradient fill(bar.topLeft(), bar.bottomLeft());
    fill.setColorAt(0, kTop);
    fill.setColorAt(0.45, kMiddle);
    fill.setColorAt(0.5, kLow);
    fill.setColorAt(1, kBottom);
    p.fillRect(rect(), fill);
    p.setPen(kBorder);
    p.drawLine(0, 0, width(), 0);

    p.setFont(font());
    for (int i = 0; i < panelCount(); ++i) {
        const QRect r = panelRect(i);
        if (i + 1 < panelCount()) {
            p.setPen(kBorder);
            p.drawLine(r.right(), 3, r.right(), height() - 3);
            p.setPen(Qt::white);
            p.drawLine(r.right() + 1, 3, r.right() + 1, height() - 3);
        }
        if (!m_panels[i].text.isEmpty()) {
            p.setPen(kText);
            const QString shown = fontMetrics().elidedText(m_panels[i].text, Qt::ElideRight,
                                                            r.width() - 8);
            p.drawText(r.adjusted(4, 1, -4, 0), Qt::AlignVCenter | Qt::AlignLeft, shown);
        }
    }
}
