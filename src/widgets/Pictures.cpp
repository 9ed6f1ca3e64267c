#include "widgets/Pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace Pictures {

namespace {

QPixmap transparentPixmap(const QSize &size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void antialias(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

// A head and shoulders inside `box`, shaded from `light` to `dark`.
void drawPerson(QPainter &p, const QRectF &box, const QColor &light, const QColor &dark)
{
    const qreal w = box.width();
    const qreal h = box.height();
    QPainterPath shoulders;
    const QRectF body(box.left() + w * 0.08, box.top() + h * 0.52, w * 0.84, h * 0.62);
    shoulders.addRoundedRect(body, w * 0.36, h * 0.34);
    QPainterPath clip;
    clip.addRect(QRectF(box.left(), box.top(), w, h));
    shoulders = shoulders.intersected(clip);

    QLinearGradient shirt(body.topLeft(), body.bottomLeft());
    shirt.setColorAt(0, light);
    shirt.setColorAt(1, dark);
    p.setPen(QPen(dark.darker(140), 1));
    p.setBrush(shirt);
    p.drawPath(shoulders);

    const QRectF head(box.left() + w * 0.29, box.top() + h * 0.04, w * 0.42, h * 0.46);
    QRadialGradient skin(head.center() - QPointF(w * 0.06, h * 0.08), head.width() * 0.7);
    skin.setColorAt(0, QColor(255, 232, 204));
    skin.setColorAt(1, QColor(222, 170, 120));
    p.setPen(QPen(QColor(160, 110, 70), 1));
    p.setBrush(skin);
    p.drawEllipse(head);
}

// A round badge in the lower right corner of a 32 x 32 icon.
QRectF badgeRect()
{
    return QRectF(17.5, 17.5, 13.5, 13.5);
}

void drawBadge(QPainter &p, const QColor &light, const QColor &dark)
{
    const QRectF r = badgeRect();
    QRadialGradient fill(r.center() - QPointF(2, 3), r.width() * 0.8);
    fill.setColorAt(0, light);
    fill.setColorAt(1, dark);
    p.setPen(QPen(Qt::white, 1.2));
    p.setBrush(fill);
    p.drawEllipse(r);
}

QPixmap newContactIcon()
{
    QPixmap pm = transparentPixmap(QSize(32, 32));
    QPainter p(&pm);
    antialias(p);
    drawPerson(p, QRectF(1, 2, 24, 28), QColor(120, 170, 235), QColor(30, 80, 160));
    drawBadge(p, QColor(150, 230, 120), QColor(40, 140, 30));
    const QPointF c = badgeRect().center();
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-3.6, 0), c + QPointF(3.6, 0));
    p.drawLine(c + QPointF(0, -3.6), c + QPointF(0, 3.6));
    return pm;
}

QPixmap editContactIcon()
{
    QPixmap pm = transparentPixmap(QSize(32, 32));
    QPainter p(&pm);
    antialias(p);
    drawPerson(p, QRectF(1, 2, 24, 28), QColor(120, 170, 235), QColor(30, 80, 160));

    // A pencil lying from the upper right to the lower left of the badge corner.
    p.save();
    p.translate(23, 22);
    p.rotate(-45);
    const QRectF shaft(-9, -2.6, 14, 5.2);
    QLinearGradient wood(shaft.topLeft(), shaft.bottomLeft());
    wood.setColorAt(0, QColor(255, 220, 90));
    wood.setColorAt(1, QColor(225, 150, 20));
    p.setPen(QPen(QColor(150, 90, 10), 0.8));
    p.setBrush(wood);
    p.drawRect(shaft);
    p.setBrush(QColor(240, 150, 160));
    p.drawRect(QRectF(5, -2.6, 3, 5.2));
    QPainterPath tip;
    tip.moveTo(-9, -2.6);
    tip.lineTo(-14, 0);
    tip.lineTo(-9, 2.6);
    tip.closeSubpath();
    p.setBrush(QColor(250, 225, 180));
    p.drawPath(tip);
    p.setBrush(QColor(60, 60, 60));
    p.setPen(Qt::NoPen);
    QPainterPath lead;
    lead.moveTo(-12.2, -0.9);
    lead.lineTo(-14, 0);
    lead.lineTo(-12.2, 0.9);
    lead.closeSubpath();
    p.drawPath(lead);
    p.restore();
    return pm;
}

QPixmap deleteContactIcon()
{
    QPixmap pm = transparentPixmap(QSize(32, 32));
    QPainter p(&pm);
    antialias(p);
    drawPerson(p, QRectF(1, 2, 24, 28), QColor(120, 170, 235), QColor(30, 80, 160));
    drawBadge(p, QColor(255, 140, 120), QColor(190, 20, 20));
    const QPointF c = badgeRect().center();
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-3, -3), c + QPointF(3, 3));
    p.drawLine(c + QPointF(-3, 3), c + QPointF(3, -3));
    return pm;
}

QPixmap printIcon()
{
    QPixmap pm = transparentPixmap(QSize(32, 32));
    QPainter p(&pm);
    antialias(p);

    // Sheet waiting at the back.
    p.setPen(QPen(QColor(150, 150, 150), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8.5, 2.5, 15, 11));

    // Body.
    const QRectF body(2.5, 11.5, 27, 13);
    QLinearGradient metal(body.topLeft(), body.bottomLeft());
    metal.setColorAt(0, QColor(236, 240, 246));
    metal.setColorAt(0.5, QColor(196, 204, 216));
    metal.setColorAt(1, QColor(140, 150, 166));
    p.setPen(QPen(QColor(90, 100, 115), 1));
    p.setBrush(metal);
    p.drawRoundedRect(body, 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 190, 70));
    p.drawEllipse(QRectF(24, 15, 3, 3));

    // Printed sheet coming out at the front.
    p.setPen(QPen(QColor(150, 150, 150), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(7.5, 19.5, 17, 11));
    p.setPen(QPen(QColor(70, 120, 200), 1));
    for (int y = 22; y <= 28; y += 3)
        p.drawLine(QPointF(10, y + 0.5), QPointF(22, y + 0.5));
    return pm;
}

QPixmap aboutIcon()
{
    QPixmap pm = transparentPixmap(QSize(32, 32));
    QPainter p(&pm);
    antialias(p);
    const QRectF circle(2, 2, 28, 28);
    QRadialGradient fill(QPointF(12, 9), 24);
    fill.setColorAt(0, QColor(140, 195, 255));
    fill.setColorAt(1, QColor(20, 80, 175));
    p.setPen(QPen(QColor(15, 60, 140), 1));
    p.setBrush(fill);
    p.drawEllipse(circle);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(14, 7, 4.4, 4.4));
    p.drawRoundedRect(QRectF(14, 13.5, 4.4, 12), 1.5, 1.5);
    // Gloss.
    QLinearGradient gloss(0, 2, 0, 16);
    gloss.setColorAt(0, QColor(255, 255, 255, 120));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(gloss);
    p.drawEllipse(QRectF(6, 3, 20, 12));
    return pm;
}

QPixmap closeIcon()
{
    QPixmap pm = transparentPixmap(QSize(32, 32));
    QPainter p(&pm);
    antialias(p);
    // A door with an arrow leaving through it.
    const QRectF frame(5.5, 2.5, 17, 27);
    p.setPen(QPen(QColor(110, 70, 30), 1));
    p.setBrush(QColor(240, 236, 226));
    p.drawRect(frame);
    QPainterPath door;
    door.moveTo(6, 3);
    door.lineTo(17, 6);
    door.lineTo(17, 31);
    door.lineTo(6, 29);
    door.closeSubpath();
    QLinearGradient wood(6, 0, 17, 0);
    wood.setColorAt(0, QColor(200, 130, 60));
    wood.setColorAt(1, QColor(140, 80, 30));
    p.setBrush(wood);
    p.drawPath(door);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 215, 90));
    p.drawEllipse(QRectF(14, 16, 2.2, 2.2));

    QPainterPath arrow;
    arrow.moveTo(18, 14);
    arrow.lineTo(24, 14);
    arrow.lineTo(24, 10);
    arrow.lineTo(31, 17);
    arrow.lineTo(24, 24);
    arrow.lineTo(24, 20);
    arrow.lineTo(18, 20);
    arrow.closeSubpath();
    QLinearGradient red(0, 10, 0, 24);
    red.setColorAt(0, QColor(255, 120, 100));
    red.setColorAt(1, QColor(190, 20, 20));
    p.setPen(QPen(QColor(140, 10, 10), 1));
    p.setBrush(red);
    p.drawPath(arrow);
    return pm;
}

QPixmap bookPixmap(int side)
{
    QPixmap pm = transparentPixmap(QSize(side, side));
    QPainter p(&pm);
    antialias(p);
    p.scale(side / 32.0, side / 32.0);
    const QRectF cover(5, 2, 24, 28);
    QLinearGradient blue(cover.topLeft(), cover.topRight());
    blue.setColorAt(0, QColor(40, 100, 190));
    blue.setColorAt(1, QColor(90, 150, 230));
    p.setPen(QPen(QColor(20, 55, 120), 1));
    p.setBrush(blue);
    p.drawRoundedRect(cover, 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawRoundedRect(QRectF(10, 6, 15, 20), 1.5, 1.5);
    drawPerson(p, QRectF(12.5, 8, 10, 12), QColor(120, 170, 235), QColor(30, 80, 160));
    p.setPen(QPen(QColor(30, 80, 160), 1.2));
    p.drawLine(QPointF(13, 22.5), QPointF(22, 22.5));
    // Rings of the spiral binding.
    p.setPen(QPen(QColor(200, 205, 215), 1.6, Qt::SolidLine, Qt::RoundCap));
    for (int y = 6; y <= 26; y += 5)
        p.drawLine(QPointF(2.5, y), QPointF(8, y));
    return pm;
}

} // namespace

QIcon windowIcon()
{
    QIcon icon;
    for (int side : {16, 32, 48})
        icon.addPixmap(bookPixmap(side));
    return icon;
}

QPixmap commandIcon(Command command)
{
    switch (command) {
    case Command::NewContact:
        return newContactIcon();
    case Command::EditContact:
        return editContactIcon();
    case Command::DeleteContact:
        return deleteContactIcon();
    case Command::Print:
        return printIcon();
    case Command::About:
        return aboutIcon();
    case Command::Close:
        return closeIcon();
    }
    return {};
}

namespace {

QPixmap tile(const QSize &size, const QColor &top, const QColor &bottom, const QColor &border,
             const QString &text, int pixelSize)
{
    QPixmap pm = transparentPixmap(size);
    QPainter p(&pm);
    antialias(p);
    const qreal side = qMin(size.width(), size.height()) - 7;
    const QRectF r((size.width() - side) / 2.0, (size.height() - side) / 2.0, side, side);

    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, 5, 5);

    QLinearGradient gloss(r.topLeft(), QPointF(r.left(), r.center().y()));
    gloss.setColorAt(0, QColor(255, 255, 255, 150));
    gloss.setColorAt(1, QColor(255, 255, 255, 30));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawRoundedRect(QRectF(r.left() + 1.5, r.top() + 1.5, r.width() - 3, r.height() / 2 - 1),
                      4, 4);

    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(r.translated(1, 1), Qt::AlignCenter, text);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, text);
    return pm;
}

} // namespace

QPixmap letterTile(QChar letter, const QSize &size)
{
    return tile(size, QColor(120, 175, 240), QColor(25, 85, 170), QColor(20, 60, 130),
                QString(letter.toUpper()), 17);
}

QPixmap showAllTile(const QSize &size)
{
    QPixmap pm = tile(size, QColor(255, 205, 100), QColor(225, 120, 10), QColor(160, 85, 10),
                      QString(), 17);
    // The asterisk is drawn as spokes: a font's asterisk sits high in its line.
    QPainter p(&pm);
    antialias(p);
    const QPointF centre(size.width() / 2.0, size.height() / 2.0);
    for (const auto &[colour, offset] : {std::pair{QColor(0, 0, 0, 90), QPointF(1, 1)},
                                         std::pair{QColor(Qt::white), QPointF(0, 0)}}) {
        p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap));
        for (int angle : {90, 30, -30}) {
            const QLineF spoke = QLineF::fromPolar(7, angle).translated(centre + offset);
            p.drawLine(QLineF(spoke.p2(), 2 * (centre + offset) - spoke.p2()));
        }
    }
    return pm;
}

QPixmap workAreaBackground()
{
    const QSize size(868, 353);
    QPixmap pm(size);
    QPainter p(&pm);
    antialias(p);

    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(250, 252, 255));
    sky.setColorAt(0.55, QColor(226, 236, 250));
    sky.setColorAt(1, QColor(196, 217, 243));
    p.fillRect(pm.rect(), sky);

    // Soft waves across the lower half.
    const struct { qreal base; qreal lift; QColor colour; } waves[] = {
        {250, 60, QColor(160, 195, 240, 70)},
        {280, 45, QColor(120, 170, 230, 60)},
        {305, 35, QColor(255, 255, 255, 110)},
    };
    for (const auto &wave : waves) {
        QPainterPath path;
        path.moveTo(0, wave.base);
        path.cubicTo(size.width() * 0.3, wave.base - wave.lift, size.width() * 0.6,
                     wave.base + wave.lift, size.width(), wave.base - wave.lift / 2);
        path.lineTo(size.width(), size.height());
        path.lineTo(0, size.height());
        path.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(wave.colour);
        p.drawPath(path);
    }
    return pm;
}

} // namespace Pictures
