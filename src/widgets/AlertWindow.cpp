#include "widgets/AlertWindow.h"

#include <QApplication>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <cmath>

namespace {

constexpr int kBorder = 1;
constexpr int kCaptionHeight = 18;
constexpr int kCloseSize = 14;
constexpr int kMinimumWidth = 120;
constexpr int kDefaultStepInterval = 10;

QRect primaryWorkArea()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        return screen->availableGeometry();
    return QRect(0, 0, 800, 600);
}

void fillVertical(QPainter &painter, const QRect &rect, const QColor &top, const QColor &bottom)
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.fillRect(rect, gradient);
}

} // namespace

AlertWindow::AlertWindow(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                          | Qt::WindowDoesNotAcceptFocus)
    , m_fadeTimer(new QTimer(this))
    , m_screenGeometry(primaryWorkArea)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setWindowOpacity(0.0);
    m_fadeTimer->setInterval(kDefaultStepInterval);
    connect(m_fadeTimer, &QTimer::timeout, this, &AlertWindow::fadeStep);
    m_colors = colorsFor(m_scheme, palette());
}

AlertWindow::~AlertWindow()
{
    // No fade step may reach a window that is going away.
    m_fadeTimer->stop();
}

void AlertWindow::addMessage(const QString &markup)
{
    m_messages.append(markup);
}

void AlertWindow::setFadeStepInterval(int milliseconds)
{
    m_fadeTimer->setInterval(qMax(0, milliseconds));
}

int AlertWindow::fadeStepInterval() const
{
    return m_fadeTimer->interval();
}

void AlertWindow::setScreenGeometryProvider(std::function<QRect()> provider)
{
    m_screenGeometry = provider ? std::move(provider) : std::function<QRect()>(primaryWorkArea);
}

QRect AlertWindow::screenGeometry() const
{
    return m_screenGeometry();
}

AlertWindow::ColorScheme AlertWindow::colorSchemeFor(const QPalette &palette)
{
    // The theme shows in its selection colour: a saturated mid blue, an olive green, or a pale
    // blue-grey silver. A dark navy, grey or anything else reads as no visual theme.
    const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight).toHsl();
    const int hue = highlight.hslHue();
    const int saturation = highlight.hslSaturation();
    const int lightness = highlight.lightness();
    if (saturation < 40 && lightness >= 140 && lightness < 240 && (hue < 0 || (hue >= 200 && hue <= 280)))
        return ColorScheme::Silver;
    if (hue >= 60 && hue <= 120 && saturation >= 40 && lightness >= 60 && lightness < 200)
        return ColorScheme::Olive;
    if (hue >= 190 && hue <= 250 && saturation >= 80 && lightness >= 80 && lightness < 220)
        return ColorScheme::Blue;
    return ColorScheme::Classic;
}

AlertWindow::Colors AlertWindow::colorsFor(ColorScheme scheme, const QPalette &palette)
{
    const QColor hoverTop(255, 255, 220), hoverBottom(247, 192, 91);
    const QColor pressedTop(232, 127, 8), pressedBottom(247, 218, 124);
    switch (scheme) {
    case ColorScheme::Blue:
        return {QColor(196, 218, 250), QColor(160, 191, 245), QColor(89, 135, 214),
                QColor(0, 45, 150), QColor(0, 45, 150),
                hoverTop, hoverBottom, pressedTop, pressedBottom};
    case ColorScheme::Olive:
        return {QColor(242, 241, 228), QColor(218, 218, 170), QColor(120, 142, 111),
                QColor(96, 128, 88), QColor(96, 128, 88),
                hoverTop, hoverBottom, pressedTop, pressedBottom};
    case ColorScheme::Silver:
        return {QColor(243, 243, 247), QColor(216, 216, 230), QColor(168, 167, 191),
                QColor(124, 124, 148), QColor(124, 124, 148),
                hoverTop, hoverBottom, pressedTop, pressedBottom};
    case ColorScheme::Classic:
        break;
    }
    // Qt has no caption colour of its own; the selection colour stands for the active caption.
    return {QColor(255, 255, 255), QColor(213, 209, 201), QColor(212, 208, 200),
            QColor(142, 141, 140), palette.color(QPalette::Active, QPalette::Highlight),
            QColor(182, 189, 210), QColor(182, 189, 210),
            QColor(133, 146, 181), QColor(133, 146, 181)};
}

QRect AlertWindow::captionRect() const
{
    return QRect(kBorder, kBorder, width() - 2 * kBorder, kCaptionHeight);
}

QRect AlertWindow::closeButtonRect() const
{
    const QRect caption = captionRect();
    return QRect(caption.right() - 2 - kCloseSize + 1,
                 caption.top() + (caption.height() - kCloseSize) / 2, kCloseSize, kCloseSize);
}

QRect AlertWindow::textRect() const
{
    const int top = kBorder + kCaptionHeight + kMargin;
    return QRect(kBorder + kMargin, top, width() - 2 * (kBorder + kMargin),
                 height() - top - kBorder - kMargin);
}

void AlertWindow::fitAndPlace()
{
    m_text = m_messages.isEmpty() ? AlertText() : parseAlertMarkup(m_messages.constLast());
    m_layout = AlertTextLayout(m_text, font(), Qt::black, this);

    const QSizeF textSize = m_layout.size();
    const QRect area = screenGeometry();
    int w = int(std::ceil(textSize.width())) + 2 * (kBorder + kMargin);
    int h = int(std::ceil(textSize.height())) + 2 * (kBorder + kMargin) + kCaptionHeight;
    w = qMax(w, kMinimumWidth);
    // A text larger than the work area is cut off rather than pushing the alert off screen.
    w = qMax(1, qMin(w, area.width() - kRightGap));
    h = qMax(1, qMin(h, area.height()));
    const QRect placed(area.x() + area.width() - kRightGap - w, area.y() + area.height() - h, w, h);
    setGeometry(placed);
}

void AlertWindow::showAlert()
{
    if (m_messages.isEmpty())
        return;
    m_scheme = colorSchemeFor(palette());
    m_colors = colorsFor(m_scheme, palette());
    fitAndPlace();
    m_hidePending = false;
    if (!isVisible()) {
        m_focusOwner = QApplication::activeWindow();
        setOpacity(0);
        show();
    }
    raise();
    if (m_hovered) {
        stopFade();
        setOpacity(kHoveredOpacity);
        m_phase = Phase::Shown;
        return;
    }
    m_phase = Phase::FadingIn;
    m_fadeTimer->start();
    update();
}

void AlertWindow::hideAlert()
{
    if (!isVisible() || m_hovered)
        return;
    switch (m_phase) {
    case Phase::FadingIn:
        m_hidePending = true;
        break;
    case Phase::Shown:
        startFadeOut();
        break;
    case Phase::FadingOut:
    case Phase::Hidden:
        break;
    }
}

void AlertWindow::startFadeOut()
{
    m_hidePending = false;
    m_phase = Phase::FadingOut;
    m_fadeTimer->start();
}

void AlertWindow::stopFade()
{
    m_fadeTimer->stop();
    m_hidePending = false;
}

void AlertWindow::fadeStep()
{
    if (m_phase == Phase::FadingIn) {
        setOpacity(qMin(kShownOpacity, m_opacity + kFadeStep));
        if (m_opacity >= kShownOpacity) {
            m_fadeTimer->stop();
            m_phase = Phase::Shown;
            if (m_hidePending)
                startFadeOut();
        }
    } else if (m_phase == Phase::FadingOut) {
        setOpacity(qMax(0, m_opacity - kFadeStep));
        if (m_opacity <= 0) {
            m_fadeTimer->stop();
            m_phase = Phase::Hidden;
            hide();
        }
    } else {
        m_fadeTimer->stop();
    }
}

void AlertWindow::setOpacity(int opacity)
{
    if (opacity == m_opacity)
        return;
    m_opacity = opacity;
    setWindowOpacity(opacity / 255.0);
    emit opacityChanged(opacity);
}

void AlertWindow::closeAtOnce()
{
    stopFade();
    m_phase = Phase::Hidden;
    m_hovered = false;
    m_closeHovered = false;
    m_closePressed = false;
    hide();
    setOpacity(0);
}

bool AlertWindow::event(QEvent *event)
{
    // Some window systems activate every window they show, whatever its hints: the window that
    // had the focus gets it straight back.
    if (event->type() == QEvent::WindowActivate && m_focusOwner && m_focusOwner != this
        && m_focusOwner->isVisible())
        m_focusOwner->activateWindow();
    return QWidget::event(event);
}

void AlertWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous()) {
        stopFade();
        m_phase = Phase::Hidden;
        m_hovered = false;
    }
}

void AlertWindow::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    pointerArrived();
}

void AlertWindow::pointerArrived()
{
    if (!isVisible())
        return;
    m_hovered = true;
    stopFade();
    setOpacity(kHoveredOpacity);
    m_phase = Phase::Shown;
}

void AlertWindow::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    m_closeHovered = false;
    if (!m_hovered)
        return;
    m_hovered = false;
    if (isVisible()) {
        setOpacity(kShownOpacity);
        m_phase = Phase::Shown;
    }
    update();
}

void AlertWindow::mouseMoveEvent(QMouseEvent *event)
{
    // A pointer that moves over the alert is on it, even where no enter event came first
    // (a window shown under a resting pointer).
    if (!m_hovered)
        pointerArrived();
    const bool over = closeButtonRect().contains(event->position().toPoint());
    if (over != m_closeHovered) {
        m_closeHovered = over;
        update(closeButtonRect());
    }
    QWidget::mouseMoveEvent(event);
}

void AlertWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton
        && closeButtonRect().contains(event->position().toPoint())) {
        m_closePressed = true;
        update(closeButtonRect());
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void AlertWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_closePressed) {
        m_closePressed = false;
        if (closeButtonRect().contains(event->position().toPoint()))
            closeAtOnce();
        else
            update(closeButtonRect());
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void AlertWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect whole = rect();
    fillVertical(painter, whole, m_colors.windowTop, m_colors.windowBottom);
    fillVertical(painter, captionRect(), m_colors.captionTop, m_colors.captionBottom);

    painter.setPen(m_colors.border);
    painter.drawRect(whole.adjusted(0, 0, -1, -1));

    const QRect close = closeButtonRect();
    QColor cross = m_colors.captionBottom.lightness() < 140 ? Qt::white : Qt::black;
    if (m_closePressed || m_closeHovered) {
        if (m_closePressed)
            fillVertical(painter, close, m_colors.pressedTop, m_colors.pressedBottom);
        else
            fillVertical(painter, close, m_colors.hoverTop, m_colors.hoverBottom);
        painter.setPen(m_colors.border);
        painter.drawRect(close.adjusted(0, 0, -1, -1));
        cross = Qt::black;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(cross, 1.6, Qt::SolidLine, Qt::RoundCap));
    const QRectF mark = QRectF(close).adjusted(4, 4, -4, -4);
    painter.drawLine(mark.topLeft(), mark.bottomRight());
    painter.drawLine(mark.topRight(), mark.bottomLeft());
    painter.setRenderHint(QPainter::Antialiasing, false);

    const QRect text = textRect();
    painter.setClipRect(text);
    m_layout.paint(painter, text.topLeft());
}
