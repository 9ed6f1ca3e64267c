#include "widgets/RibbonBar.h"

#include <QEnterEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace {

// The Office 2007 blue (Luna) palette.
namespace luna {
const QColor captionTop(227, 235, 246);
const QColor captionBottom(199, 216, 239);
const QColor captionText(62, 106, 170);
const QColor tabRowTop(199, 216, 239);
const QColor tabRowBottom(191, 219, 255);
const QColor tabText(21, 66, 139);
const QColor border(141, 178, 227);
const QColor pageTop(219, 232, 249);
const QColor pageMiddle(199, 217, 241);
const QColor pageBottom(214, 230, 250);
const QColor groupTop(222, 232, 245);
const QColor groupBottom(199, 216, 237);
const QColor groupBandTop(194, 216, 241);
const QColor groupBandBottom(182, 205, 233);
const QColor groupBorder(158, 186, 225);
const QColor hoverTop(255, 251, 219);
const QColor hoverMiddle(255, 231, 145);
const QColor hoverLow(255, 215, 85);
const QColor hoverBottom(255, 231, 162);
const QColor hoverBorder(219, 206, 153);
const QColor pressedTop(248, 181, 106);
const QColor pressedMiddle(251, 140, 60);
const QColor pressedBottom(253, 238, 179);
const QColor pressedBorder(194, 118, 43);
} // namespace luna

constexpr int kCaptionHeight = 27;
constexpr int kTabHeight = 23;

QFont segoe(const QFont &base, int points, bool bold = false)
{
    QFont font = base;
    font.setFamilies({QStringLiteral("Segoe UI"), QStringLiteral("Liberation Sans")});
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

QLinearGradient vertical(const QRectF &r, std::initializer_list<std::pair<qreal, QColor>> stops)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    for (const auto &[at, colour] : stops)
        g.setColorAt(at, colour);
    return g;
}

} // namespace

RibbonButton::RibbonButton(const QString &caption, const QPixmap &icon, QWidget *parent)
    : QAbstractButton(parent), m_icon(icon)
{
    setText(caption);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    setFont(segoe(font(), 8));
    resize(kWidth, kHeight);
}

void RibbonButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool pressed = isDown();
    if (isEnabled() && (pressed || underMouse())) {
        if (pressed) {
            p.setBrush(vertical(frame, {{0, luna::pressedTop}, {0.45, luna::pressedMiddle},
                                        {0.5, luna::pressedMiddle}, {1, luna::pressedBottom}}));
            p.setPen(luna::pressedBorder);
        } else {
            p.setBrush(vertical(frame, {{0, luna::hoverTop}, {0.45, luna::hoverMiddle},
                                        {0.5, luna::hoverLow}, {1, luna::hoverBottom}}));
            p.setPen(luna::hoverBorder);
        }
        p.drawRoundedRect(frame, 3, 3);
        p.setPen(QColor(255, 255, 255, 140));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(frame.adjusted(1, 1, -1, -1), 2, 2);
    }

    const QRect iconRect((width() - 32) / 2, 3, 32, 32);
    if (isEnabled())
        p.drawPixmap(iconRect, m_icon);
    else
        style()->drawItemPixmap(&p, iconRect, Qt::AlignCenter,
                                QIcon(m_icon).pixmap(32, QIcon::Disabled));

    p.setPen(isEnabled() ? luna::tabText : palette().color(QPalette::Disabled, QPalette::Text));
    p.setFont(font());
    const QRect textRect(1, 36, width() - 2, height() - 37);
    const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
    p.drawText(textRect, flags, text());
}

void RibbonButton::enterEvent(QEnterEvent *event)
{
    update();
    QAbstractButton::enterEvent(event);
}

void RibbonButton::leaveEvent(QEvent *event)
{
    update();
    QAbstractButton::leaveEvent(event);
}

RibbonBar::RibbonBar(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void RibbonBar::setCaption(const QString &caption)
{
    m_caption = caption;
    update();
}

void RibbonBar::setPageTitle(const QString &title)
{
    m_pageTitle = title;
    update();
}

int RibbonBar::addGroup(int width)
{
    m_groups.push_back(Group{width, {}});
    placeButtons();
    return int(m_groups.size()) - 1;
}

RibbonButton *RibbonBar::addButton(int group, const QString &objectName, const QString &caption,
                                   const QPixmap &icon)
{
    auto *button = new RibbonButton(caption, icon, this);
    button->setObjectName(objectName);
    m_groups.at(group).buttons.push_back(button);
    placeButtons();
    return button;
}

QRect RibbonBar::pageRect() const
{
    return QRect(kPageLeft, kPageTop, width() - 2 * kPageLeft, kPageHeight);
}

QRect RibbonBar::tabRect() const
{
    QFont tabFont = segoe(font(), 8);
    const int textWidth = QFontMetrics(tabFont).horizontalAdvance(m_pageTitle);
    return QRect(kTabLeft, kPageTop - kTabHeight, textWidth + 12, kTabHeight);
}

int RibbonBar::groupWidth(const Group &group) const
{
    if (group.fixedWidth > 0)
        return group.fixedWidth;
    const int n = int(group.buttons.size());
    if (n == 0)
        return 2 * kButtonLeft;
    return 2 * kButtonLeft + n * RibbonButton::kWidth + (n - 1) * kSeparatorWidth;
}

QRect RibbonBar::groupRect(int group) const
{
    int left = kGroupGap;
    for (int i = 0; i < group; ++i)
        left += groupWidth(m_groups[i]) + kGroupGap;
    const QRect page = pageRect();
    return QRect(page.left() + left, page.top() + kGroupTop, groupWidth(m_groups.at(group)),
                 kGroupHeight);
}

void RibbonBar::placeButtons()
{
    for (int g = 0; g < int(m_groups.size()); ++g) {
        const QRect area = groupRect(g);
        int left = area.left() + kButtonLeft;
        for (RibbonButton *button : m_groups[g].buttons) {
            button->setGeometry(left, area.top() + kButtonTop, RibbonButton::kWidth,
                                RibbonButton::kHeight);
            left += RibbonButton::kWidth + kSeparatorWidth;
        }
    }
    update();
}

QSize RibbonBar::sizeHint() const
{
    return QSize(868, kHeight);
}

void RibbonBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeButtons();
}

void RibbonBar::focusInEvent(QFocusEvent *event)
{
    update();
    QWidget::focusInEvent(event);
}

void RibbonBar::focusOutEvent(QFocusEvent *event)
{
    update();
    QWidget::focusOutEvent(event);
}

void RibbonBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF whole(rect());
    p.fillRect(rect(), vertical(whole, {{0, luna::tabRowTop}, {0.4, luna::tabRowBottom}, {1, luna::tabRowBottom}}));
    paintCaptionBar(p);
    paintPage(p);
    paintTab(p);
    for (int g = 0; g < int(m_groups.size()); ++g)
        paintGroup(p, g);
}

void RibbonBar::paintCaptionBar(QPainter &p) const
{
    const QRectF bar(0, 0, width(), kCaptionHeight);
    p.fillRect(bar, vertical(bar, {{0, luna::captionTop}, {0.5, QColor(214, 227, 243)},
                                   {0.51, luna::captionBottom}, {1, QColor(214, 228, 247)}}));
    p.setPen(QColor(255, 255, 255, 160));
    p.drawLine(QPointF(0, 0.5), QPointF(width(), 0.5));
    p.setPen(luna::border);
    p.drawLine(QPointF(0, kCaptionHeight - 0.5), QPointF(width(), kCaptionHeight - 0.5));

    const QIcon icon = window()->windowIcon();
    if (!icon.isNull())
        p.drawPixmap(QRect(6, (kCaptionHeight - 16) / 2, 16, 16), icon.pixmap(16, 16));

    p.setFont(segoe(font(), 9));
    p.setPen(luna::captionText);
    p.drawText(bar.toRect(), Qt::AlignCenter, m_caption);
}

void RibbonBar::paintTab(QPainter &p) const
{
    const QRectF tab = QRectF(tabRect()).adjusted(0.5, 0.5, -0.5, 0.5);
    QPainterPath path;
    const qreal r = 3;
    path.moveTo(tab.left(), tab.bottom() + 1);
    path.lineTo(tab.left(), tab.top() + r);
    path.quadTo(tab.left(), tab.top(), tab.left() + r, tab.top());
    path.lineTo(tab.right() - r, tab.top());
    path.quadTo(tab.right(), tab.top(), tab.right(), tab.top() + r);
    path.lineTo(tab.right(), tab.bottom() + 1);
    p.setPen(luna::border);
    p.setBrush(vertical(tab, {{0, QColor(245, 249, 255)}, {1, luna::pageTop}}));
    p.drawPath(path);

    p.setFont(segoe(font(), 8));
    p.setPen(luna::tabText);
    p.drawText(tabRect(), Qt::AlignCenter, m_pageTitle);

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = tabRect().adjusted(3, 3, -3, -2);
        option.backgroundColor = luna::pageTop;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
    }
}

void RibbonBar::paintPage(QPainter &p) const
{
    const QRectF page = QRectF(pageRect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(luna::border);
    p.setBrush(vertical(page, {{0, luna::pageTop}, {0.8, luna::pageMiddle}, {1, luna::pageBottom}}));
    p.drawRoundedRect(page, 3, 3);
}

void RibbonBar::paintGroup(QPainter &p, int group) const
{
    const QRectF area = QRectF(groupRect(group)).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal bandHeight = 15;
    const QRectF band(area.left(), area.bottom() - bandHeight, area.width(), bandHeight);

    p.setPen(Qt::NoPen);
    p.setBrush(vertical(area, {{0, luna::groupTop}, {1, luna::groupBottom}}));
    p.drawRoundedRect(area, 3, 3);
    QPainterPath bandPath;
    bandPath.addRoundedRect(band, 3, 3);
    bandPath.addRect(band.adjusted(0, 0, 0, -4));
    p.setBrush(vertical(band, {{0, luna::groupBandTop}, {1, luna::groupBandBottom}}));
    p.drawPath(bandPath.simplified());

    p.setBrush(Qt::NoBrush);
    p.setPen(QColor(255, 255, 255, 170));
    p.drawRoundedRect(area.adjusted(1, 1, -1, -1), 2, 2);
    p.setPen(luna::groupBorder);
    p.drawRoundedRect(area, 3, 3);

    // A thin line in the button-shadow colour between neighbouring buttons.
    const auto &buttons = m_groups[group].buttons;
    p.setPen(palette().color(QPalette::Dark));
    for (size_t i = 0; i + 1 < buttons.size(); ++i) {
        const QRect b = buttons[i]->geometry();
        const qreal x = b.right() + 1 + kSeparatorWidth / 2 + 0.5;
        p.drawLine(QPointF(x, b.top() + 4), QPointF(x, b.bottom() - 4));
    }
}
