#pragma once
// The command bar: a one-page ribbon drawn in the Office 2007 blue look. A caption bar repeats
// the window's caption, a single page tab sits above the page, and the page holds groups of large
// buttons (a 32 x 32 icon above a caption). The buttons never take the keyboard focus; the bar
// itself does, so that Tab can rest on it.

#include <QAbstractButton>
#include <QPixmap>
#include <QWidget>
#include <vector>

class RibbonButton : public QAbstractButton
{
    Q_OBJECT
public:
    static constexpr int kWidth = 79;
    static constexpr int kHeight = 60;

    RibbonButton(const QString &caption, const QPixmap &icon, QWidget *parent = nullptr);

    QSize sizeHint() const override { return {kWidth, kHeight}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QPixmap m_icon;
};

class RibbonBar : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 142;
    static constexpr int kPageTop = 53;
    static constexpr int kPageLeft = 4;
    static constexpr int kPageHeight = 84;
    static constexpr int kTabLeft = 20;
    static constexpr int kGroupTop = 3;
    static constexpr int kGroupHeight = 78;
    static constexpr int kGroupGap = 3;
    static constexpr int kButtonLeft = 2;    // first button, from the group's left edge
    static constexpr int kButtonTop = 3;     // from the group's top edge
    static constexpr int kSeparatorWidth = 10;

    explicit RibbonBar(QWidget *parent = nullptr);

    void setCaption(const QString &caption);
    QString caption() const { return m_caption; }
    void setPageTitle(const QString &title);
    QString pageTitle() const { return m_pageTitle; }

    // Appends a group; a width of 0 makes it as wide as the buttons it holds.
    int addGroup(int width = 0);
    // Appends a button to a group, after a separator when the group already holds one.
    RibbonButton *addButton(int group, const QString &objectName, const QString &caption,
                            const QPixmap &icon);

    // In the bar's coordinates.
    QRect pageRect() const;
    QRect tabRect() const;
    QRect groupRect(int group) const;
    int groupCount() const { return int(m_groups.size()); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    struct Group
    {
        int fixedWidth = 0;
        std::vector<RibbonButton *> buttons;
    };

    int groupWidth(const Group &group) const;
    void placeButtons();
    void paintCaptionBar(QPainter &p) const;
    void paintTab(QPainter &p) const;
    void paintPage(QPainter &p) const;
    void paintGroup(QPainter &p, int group) const;

    QString m_caption;
    QString m_pageTitle;
    std::vector<Group> m_groups;
};
