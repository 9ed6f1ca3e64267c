#pragma once
// The letter index: bars of picture buttons, one per initial letter (and one that shows every
// contact). Each button carries its letter, in lower case, as its text; the text is not shown,
// it is what the window's handler reads. The buttons never take the keyboard focus.

#include <QAbstractButton>
#include <QPixmap>
#include <QStringList>
#include <QWidget>
#include <vector>

class LetterButton : public QAbstractButton
{
    Q_OBJECT
public:
    static constexpr int kWidth = 38;
    static constexpr int kHeight = 35;

    // An empty letter makes the show-all button.
    explicit LetterButton(const QString &letter, QWidget *parent = nullptr);

    QSize sizeHint() const override { return {kWidth, kHeight}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QPixmap m_picture;
};

// One bar of the index, in the Office 2007 blue look: buttons 4 pixels below the bar's top,
// one every 48 pixels, a thin vertical line in the 10-pixel gap between neighbours.
class LetterBar : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 42;
    static constexpr int kButtonTop = 4;
    static constexpr int kPitch = 48;

    LetterBar(int firstButtonLeft, const QStringList &letters, QWidget *parent = nullptr);

    const std::vector<LetterButton *> &buttons() const { return m_buttons; }

signals:
    void letterClicked(QAbstractButton *button);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<LetterButton *> m_buttons;
};

// The lower-case letters from `from` to `to`, both included.
QStringList letterRange(char from, char to);
