#include "widgets/LetterIndex.h"

#include "widgets/Pictures.h"

#include <QEnterEvent>
#include <QLinearGradient>
#include <QPainter>

namespace {

const QColor kBarTop(227, 239, 255);
const QColor kBarMiddle(199, 222, 252);
const QColor kBarLow(185, 212, 249);
const QColor kBarBottom(208, 227, 253);
const QColor kBarBorder(141, 178, 227);
const QColor kHoverTop(255, 251, 219);
const QColor kHoverBottom(255, 215, 85);
const QColor kHoverBorder(219, 206, 153);
const QColor kPressedTop(248, 181, 106);
const QColor kPressedBottom(253, 238, 179);
const QColor kPressedBorder(194, 118, 43);

} // namespace

QStringList letterRange(char from, char to)
{
    QStringList letters;
    for (char c = from; c <= to; ++c)
        letters << QString(QChar(c));
    return letters;
}

LetterButton::LetterButton(const QString &letter, QWidget *parent) : QAbstractButton(parent)
{
    setText(letter);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    const QSize pictureSize(kWidth, kHeight);
    m_picture = letter.isEmpty() ? Pictures::showAllTile(pictureSize)
                                 : Pictures::letterTile(letter.at(0), pictureSize);
    resize(kWidth, kHeight);
}

void LetterButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (isDown() || underMouse()) {
        const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QLinearGradient fill(frame.topLeft(), frame.bottomLeft());
        fill.setColorAt(0, isDown() ? kPressedTop : kHoverTop);
        fill.setColorAt(1, isDown() ? kPressedBottom : kHoverBottom);
        p.setPen(isDown() ? kPressedBorder : kHoverBorder);
        p.setBrush(fill);
        p.drawRoundedRect(frame, 3, 3);
    }
    const QPoint offset = isDown() ? QPoint(1, 1) : QPoint(0, 0);
    p.drawPixmap(offset, m_picture);
}

void LetterButton::enterEvent(QEnterEvent *event)
{
    update();
    QAbstractButton::enterEvent(event);
}

void LetterButton::leaveEvent(QEvent *event)
{
    update();
    QAbstractButton::leaveEvent(event);
}

LetterBar::LetterBar(int firstButtonLeft, const QStringList &letters, QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    int left = firstButtonLeft;
    for (const QString &letter : letters) {
        auto *button = new LetterButton(letter, this);
        if (!letter.isEmpty())
            button->setObjectName(QStringLiteral("btLetra") + letter.toUpper());
        button->move(left, kButtonTop);
        button->setToolTip(letter.isEmpty() ? QStringLiteral("Todos os contatos")
                                            : QStringLiteral("Contatos com a letra %1")
                                                  .arg(letter.toUpper()));
        connect(button, &QAbstractButton::clicked, this,
                [this, button] { emit letterClicked(button); });
        m_buttons.push_back(button);
        left += kPitch;
    }
}

void LetterBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRectF bar(rect());
    QLinearGradient fill(bar.topLeft(), bar.bottomLeft());
    fill.setColorAt(0, kBarTop);
    fill.setColorAt(0.45, kBarMiddle);
    fill.setColorAt(0.5, kBarLow);
    fill.setColorAt(1, kBarBottom);
    p.fillRect(rect(), fill);
    p.setPen(QColor(255, 255, 255, 200));
    p.drawLine(0, 0, width(), 0);
    p.setPen(kBarBorder);
    p.drawLine(0, height() - 1, width(), height() - 1);

    // Separators: a dark line with a light one beside it, in the middle of each gap.
    for (size_t i = 0; i + 1 < m_buttons.size(); ++i) {
        const QRect b = m_buttons[i]->geometry();
        const int x = b.right() + 1 + (kPitch - LetterButton::kWidth) / 2;
        p.setPen(kBarBorder);
        p.drawLine(x, b.top() + 3, x, b.bottom() - 3);
        p.setPen(QColor(255, 255, 255, 200));
        p.drawLine(x + 1, b.top() + 3, x + 1, b.bottom() - 3);
    }
}
