#pragma once
// A status bar of fixed-width panels in the Office 2007 blue look; the last panel reaches to the
// right end, where a size grip stands.

#include <QStringList>
#include <QWidget>
#include <vector>

class QSizeGrip;

class StatusBar : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 19;

    explicit StatusBar(QWidget *parent = nullptr);

    // Appends a panel; a width of 0 makes it reach to the right end of the bar.
    int addPanel(int width, const QString &text = {});
    int panelCount() const { return int(m_panels.size()); }
    QString panelText(int panel) const { return m_panels.at(panel).text; }
    void setPanelText(int panel, const QString &text);
    QRect panelRect(int panel) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Panel
    {
        int width;
        QString text;
    };
    std::vector<Panel> m_panels;
    QSizeGrip *m_grip;
};
