#pragma once
// A small frameless window that fades in at the bottom right of the screen's work area, shows
// one mark-up message (see AlertMarkup.h) and fades out when asked to hide. It never takes the
// focus, stays above other windows, and keeps its messages after they have been shown.

#include "widgets/AlertMarkup.h"

#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include <functional>

class QTimer;

class AlertWindow : public QWidget
{
    Q_OBJECT
public:
    // The colour schemes of the system's visual theme the alert follows.
    enum class ColorScheme { Blue, Olive, Silver, Classic };
    struct Colors
    {
        QColor windowTop, windowBottom;
        QColor captionTop, captionBottom;
        QColor border;
        QColor hoverTop, hoverBottom;
        QColor pressedTop, pressedBottom;
    };
    enum class Phase { Hidden, FadingIn, Shown, FadingOut };

    static constexpr int kShownOpacity = 220;  // of 255
    static constexpr int kHoveredOpacity = 255;
    static constexpr int kFadeStep = 2;
    static constexpr int kMargin = 4;          // around the text, horizontally and vertically
    static constexpr int kRightGap = 2;        // from the work area's right edge

    explicit AlertWindow(QWidget *parent = nullptr);
    ~AlertWindow() override;

    // The message list: empty at start; a message stays after it has been shown. The last
    // message added is the one the alert shows.
    void addMessage(const QString &markup);
    QStringList messages() const { return m_messages; }

    // Fits the window to the message, places it at the bottom right, raises it without taking
    // the focus and fades it in from 0 to 220. Nothing happens while the list is empty.
    void showAlert();
    // A request to hide: a shown alert fades out and hides; a request during the fade-in takes
    // effect when it ends; while the pointer is over the alert, or when it is not visible, the
    // request has no effect.
    void hideAlert();

    Phase phase() const { return m_phase; }
    int opacity() const { return m_opacity; } // 0..255
    bool isHovered() const { return m_hovered; }

    // Time between two fade steps; at least 10 ms for the user, shorter in tests.
    void setFadeStepInterval(int milliseconds);
    int fadeStepInterval() const;

    // Where the work area of the primary screen lies; replaceable for tests.
    void setScreenGeometryProvider(std::function<QRect()> provider);
    QRect screenGeometry() const;

    ColorScheme colorScheme() const { return m_scheme; } // chosen when last shown
    static ColorScheme colorSchemeFor(const QPalette &palette);
    static Colors colorsFor(ColorScheme scheme, const QPalette &palette);

    QRect closeButtonRect() const;
    QRect textRect() const;
    const AlertText &shownText() const { return m_text; }

signals:
    // Each change of the window's opacity (0..255), fade steps included.
    void opacityChanged(int opacity);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void pointerArrived();
    void fadeStep();
    void startFadeOut();
    void stopFade();
    void setOpacity(int opacity);
    void fitAndPlace();
    void closeAtOnce();
    QRect captionRect() const;

    QStringList m_messages;
    AlertText m_text;
    AlertTextLayout m_layout;
    QTimer *m_fadeTimer;
    std::function<QRect()> m_screenGeometry;
    Phase m_phase = Phase::Hidden;
    int m_opacity = 0;
    bool m_hovered = false;
    bool m_hidePending = false;
    bool m_closeHovered = false;
    bool m_closePressed = false;
    QPointer<QWidget> m_focusOwner; // the active window when the alert was last shown
    ColorScheme m_scheme = ColorScheme::Classic;
    Colors m_colors;
};
