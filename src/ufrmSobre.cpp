#include "ufrmSobre.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>
#include <QScreen>
#include <QStyle>

TfrmSobre *frmSobre = nullptr;

namespace {

constexpr int kClientWidth = 450;
constexpr int kClientHeight = 250;

void drawAgenda(QPainter &p)
{
    // The book's pages and cover.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRoundedRect(QRectF(22, 62, 66, 104), 6, 6);
    QLinearGradient cover(QPointF(18, 56), QPointF(84, 162));
    cover.setColorAt(0, QColor(0xff, 0xb3, 0x40));
    cover.setColorAt(1, QColor(0xe0, 0x6a, 0x10));
    p.setBrush(cover);
    p.drawRoundedRect(QRectF(18, 56, 66, 104), 6, 6);
    p.setBrush(QColor(0xfd, 0xf6, 0xe8));
    p.drawRoundedRect(QRectF(28, 62, 52, 92), 3, 3);

    // Ruled lines on the page.
    p.setPen(QPen(QColor(0x9c, 0xb8, 0xe0), 1));
    for (int y = 76; y <= 146; y += 10)
        p.drawLine(QPointF(34, y), QPointF(74, y));

    // The index tabs on the right edge.
    const QColor tabs[] = {QColor(0x4c, 0xaf, 0x50), QColor(0x21, 0x96, 0xf3),
                           QColor(0xe9, 0x1e, 0x63), QColor(0xff, 0xeb, 0x3b)};
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        p.setBrush(tabs[i]);
        p.drawRoundedRect(QRectF(82, 66 + i * 22, 9, 16), 2, 2);
    }

    // The rings of the binding.
    p.setPen(QPen(QColor(0xd8, 0xdc, 0xe4), 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int y = 70; y <= 146; y += 19)
        p.drawArc(QRectF(12, y, 14, 9), 30 * 16, 300 * 16);
}

void drawHandset(QPainter &p)
{
    // A classic telephone handset resting below the book.
    const QColor handsetColour(0xf4, 0xf7, 0xff);
    p.save();
    p.translate(52, 194);
    QPainterPath handle;
    handle.moveTo(-22, 0);
    handle.cubicTo(-12, -14, 12, -14, 22, 0);
    p.setPen(QPen(handsetColour, 9, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(handle);
    p.setPen(Qt::NoPen);
    p.setBrush(handsetColour);
    for (const qreal x : {-24.0, 24.0}) {
        p.save();
        p.translate(x, 4);
        p.rotate(x < 0 ? 35 : -35);
        p.drawRoundedRect(QRectF(-13, -5, 26, 13), 6, 6);
        p.restore();
    }
    p.restore();
}

QLabel *addText(QWidget *parent, const char *name, int top, int left, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(QFont(QStringLiteral("Verdana"), 10));
    label->setAutoFillBackground(false);
    label->setAttribute(Qt::WA_TranslucentBackground);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    label->adjustSize();
    label->move(left, top);
    return label;
}

} // namespace

QPixmap TfrmSobre::picture()
{
    QPixmap pixmap(kClientWidth, kClientHeight);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(QPointF(0, 0), QPointF(kClientWidth, kClientHeight));
    sky.setColorAt(0, QColor(0x0d, 0x2b, 0x6b));
    sky.setColorAt(0.55, QColor(0x1f, 0x5f, 0xb8));
    sky.setColorAt(1, QColor(0x4a, 0x9a, 0xe8));
    p.fillRect(pixmap.rect(), sky);

    // Soft light in the upper right corner.
    QRadialGradient glow(QPointF(400, 30), 170);
    glow.setColorAt(0, QColor(255, 255, 255, 70));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(pixmap.rect(), glow);

    // The program's name above the texts, with a thin rule under it.
    QFont heading(QStringLiteral("DejaVu Sans"));
    heading.setPixelSize(34);
    heading.setBold(true);
    p.setFont(heading);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(QPointF(106, 84), QStringLiteral("Lirvan"));
    p.setPen(Qt::white);
    p.drawText(QPointF(104, 82), QStringLiteral("Lirvan"));
    p.setPen(QPen(QColor(0xff, 0xb3, 0x40), 2));
    p.drawLine(QPointF(104, 94), QPointF(420, 94));

    drawAgenda(p);
    drawHandset(p);

    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    p.drawLine(QPointF(104, 228), QPointF(420, 228));
    return pixmap;
}

TfrmSobre::TfrmSobre(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmSobre"));
    setWindowTitle(QStringLiteral("..:: Lirvan - Agenda Telefônica ::.."));
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(kClientWidth, kClientHeight);

    // The picture keeps its size at the top left when the window grows.
    auto *image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(picture());
    image->setGeometry(0, 0, kClientWidth, kClientHeight);

    addText(this, "Label1", 104, 104, QStringLiteral("Lirvan - Agenda Telefônica"));
    addText(this, "Label2", 136, 104, QStringLiteral("© 2026 Lirvan Software Ltda."));
    addText(this, "Label3", 168, 128, QStringLiteral("www.lirvan.com.br"));
    addText(this, "Label4", 200, 120, QStringLiteral("contato@lirvan.com.br"));

    centreOnDesktop();
}

TfrmSobre::~TfrmSobre()
{
    // The owner may free the window without closing it; the reference must not dangle.
    if (frmSobre == this)
        frmSobre = nullptr;
}

void TfrmSobre::showModal(QWidget *owner)
{
    frmSobre = new TfrmSobre(owner);
    frmSobre->exec();
}

void TfrmSobre::centreOnDesktop()
{
    const QWidget *owner = parentWidget();
    QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                    screen->availableGeometry()));
}

void TfrmSobre::closeEvent(QCloseEvent *event)
{
    QDialog::closeEvent(event);
    if (event->isAccepted())
        FormClose();
}

void TfrmSobre::keyPressEvent(QKeyEvent *event)
{
    // No key closes the window: QDialog would reject it on Escape.
    QWidget::keyPressEvent(event);
}

void TfrmSobre::FormClose()
{
    frmSobre = nullptr;
}
