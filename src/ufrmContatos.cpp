#include "ufrmContatos.h"

#include "store/ContactStore.h"
#include "store/DataSource.h"
#include "widgets/DBEdit.h"
#include "widgets/DBMemo.h"
#include "widgets/Messages.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>

TfrmContatos *frmContatos = nullptr;

namespace {

constexpr int kClientWidth = 544;
constexpr int kClientHeight = 479;
constexpr int kOuterWidth = 560;
constexpr int kOuterHeight = 517;
constexpr int kBannerHeight = 81;
constexpr int kBandHeight = 64;
constexpr int kStatusHeight = 17;
constexpr int kBoxHeight = 21;

// The title banner across the top, drawn at whatever width the window has.
class Banner : public QWidget
{
public:
    explicit Banner(QWidget *parent) : QWidget(parent) { setObjectName(QStringLiteral("Image1")); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = rect();

        QLinearGradient sky(r.topLeft(), r.topRight());
        sky.setColorAt(0.0, QColor(0x0b, 0x2f, 0x66));
        sky.setColorAt(0.55, QColor(0x1c, 0x5f, 0xb0));
        sky.setColorAt(1.0, QColor(0x5d, 0xa4, 0xe6));
        p.fillRect(r, sky);

        // Two soft waves give the banner some depth.
        for (int i = 0; i < 2; ++i) {
            QPainterPath wave;
            const qreal base = r.height() * (0.62 + 0.16 * i);
            wave.moveTo(r.left(), base);
            wave.cubicTo(r.width() * 0.3, base - 26, r.width() * 0.6, base + 22, r.right(),
                         base - 10);
            wave.lineTo(r.bottomRight());
            wave.lineTo(r.bottomLeft());
            wave.closeSubpath();
            p.fillPath(wave, QColor(255, 255, 255, i == 0 ? 28 : 40));
        }
        p.setPen(QPen(QColor(255, 255, 255, 120), 1));
        p.drawLine(QPointF(0, r.height() - 0.5), QPointF(r.width(), r.height() - 0.5));

        drawCard(p, QRectF(18, 14, 44, 54));

        QFont title(QStringLiteral("Liberation Sans"));
        title.setPixelSize(24);
        title.setBold(true);
        p.setFont(title);
        p.setPen(QColor(0, 0, 0, 90));
        p.drawText(QPointF(79, 42), QStringLiteral("Cadastro de Contatos"));
        p.setPen(Qt::white);
        p.drawText(QPointF(78, 41), QStringLiteral("Cadastro de Contatos"));

        QFont subtitle(QStringLiteral("Liberation Sans"));
        subtitle.setPixelSize(12);
        p.setFont(subtitle);
        p.setPen(QColor(0xdc, 0xea, 0xfa));
        p.drawText(QPointF(80, 61), QStringLiteral("Lirvan - Agenda Telefônica"));
    }

private:
    // An index card with a person and a few lines, standing for the contact.
    static void drawCard(QPainter &p, const QRectF &card)
    {
        p.setPen(QPen(QColor(0x0a, 0x25, 0x50), 1.2));
        p.setBrush(QColor(0xfb, 0xfc, 0xff));
        p.drawRoundedRect(card, 4, 4);
        p.setBrush(QColor(0xf2, 0xb1, 0x34));
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(card.left(), card.top() + 6, 5, card.height() - 12));

        const QPointF head(card.center().x() + 2, card.top() + 16);
        p.setBrush(QColor(0x1c, 0x5f, 0xb0));
        p.drawEllipse(head, 7, 7);
        QPainterPath body;
        body.moveTo(head.x() - 12, card.top() + 36);
        body.quadTo(head.x(), card.top() + 16, head.x() + 12, card.top() + 36);
        body.closeSubpath();
        p.drawPath(body);

        p.setPen(QPen(QColor(0x9a, 0xaf, 0xcc), 2, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 2; ++i) {
            const qreal y = card.top() + 42 + 6 * i;
            p.drawLine(QPointF(card.left() + 10, y), QPointF(card.right() - 6, y));
        }
    }
};

// A picture stretched over the whole widget.
class StretchedPicture : public QWidget
{
public:
    StretchedPicture(const QPixmap &picture, QWidget *parent)
        : QWidget(parent), m_picture(picture)
    {
        setObjectName(QStringLiteral("Image2"));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(rect(), m_picture);
    }

private:
    QPixmap m_picture;
};

// The band at the bottom that carries the tool bar.
class BottomBand : public QWidget
{
public:
    explicit BottomBand(QWidget *parent) : QWidget(parent) { setObjectName(QStringLiteral("Panel1")); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        QLinearGradient shade(0, 0, 0, height());
        shade.setColorAt(0.0, QColor(0xe9, 0xf1, 0xfb));
        shade.setColorAt(1.0, QColor(0xc4, 0xd7, 0xee));
        p.fillRect(rect(), shade);
        p.setPen(QColor(0x8d, 0xa9, 0xcf));
        p.drawLine(0, 0, width(), 0);
    }
};

QPixmap backgroundPicture()
{
    QPixmap picture(kClientWidth, kClientHeight - kBannerHeight - kBandHeight - kStatusHeight);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient paper(0, 0, picture.width(), picture.height());
    paper.setColorAt(0.0, QColor(0xf7, 0xfa, 0xfe));
    paper.setColorAt(1.0, QColor(0xdc, 0xe8, 0xf6));
    p.fillRect(picture.rect(), paper);
    p.setPen(QPen(QColor(0x1c, 0x5f, 0xb0, 14), 1));
    for (int x = -picture.height(); x < picture.width(); x += 9)
        p.drawLine(x, picture.height(), x + picture.height(), 0);
    return picture;
}

QIcon saveIcon()
{
    QPixmap icon(32, 32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath disk;
    disk.moveTo(4, 3);
    disk.lineTo(24, 3);
    disk.lineTo(29, 8);
    disk.lineTo(29, 29);
    disk.lineTo(4, 29);
    disk.closeSubpath();
    QLinearGradient body(0, 3, 0, 29);
    body.setColorAt(0, QColor(0x3a, 0x7b, 0xd5));
    body.setColorAt(1, QColor(0x15, 0x48, 0x94));
    p.setPen(QPen(QColor(0x0b, 0x2f, 0x66), 1));
    p.setBrush(body);
    p.drawPath(disk);
    p.setBrush(QColor(0xd9, 0xdf, 0xe8));
    p.drawRect(QRectF(9, 3.5, 13, 8));
    p.setBrush(QColor(0x15, 0x48, 0x94));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(17, 5, 3, 5));
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(0x0b, 0x2f, 0x66), 1));
    p.drawRoundedRect(QRectF(8, 15, 17, 12), 1.5, 1.5);
    p.setPen(QPen(QColor(0x9a, 0xaf, 0xcc), 1.2));
    for (int y = 19; y <= 24; y += 3)
        p.drawLine(QPointF(11, y), QPointF(22, y));
    return QIcon(icon);
}

QIcon backIcon()
{
    QPixmap icon(32, 32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient ball(QPointF(12, 10), 22);
    ball.setColorAt(0, QColor(0x7c, 0xd6, 0x6a));
    ball.setColorAt(1, QColor(0x23, 0x8a, 0x2c));
    p.setPen(QPen(QColor(0x17, 0x5e, 0x1d), 1));
    p.setBrush(ball);
    p.drawEllipse(QRectF(2.5, 2.5, 27, 27));
    QPainterPath arrow;
    arrow.moveTo(7, 16);
    arrow.lineTo(15, 8);
    arrow.lineTo(15, 12.5);
    arrow.lineTo(24, 12.5);
    arrow.lineTo(24, 19.5);
    arrow.lineTo(15, 19.5);
    arrow.lineTo(15, 24);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(arrow);
    return QIcon(icon);
}

QToolButton *makeButton(const QString &name, const QString &caption, const QIcon &icon,
                        QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(icon);
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(79, 57);
    return button;
}

} // namespace

TfrmContatos::TfrmContatos(DataSource *source, const QString &dataFilePath, QWidget *owner)
    : QDialog(owner), m_store(source->DataSet()), m_source(source), m_dataFilePath(dataFilePath)
{
    setObjectName(QStringLiteral("frmContatos"));
    setWindowTitle(QStringLiteral("..:: Lirvan - Agenda Telefônica ::.."));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    // The labels' places were made for a narrow sans-serif face; where that face is missing, a
    // metric-compatible one keeps "Nascimento" and "Observação" clear of their boxes.
    QFont face(QStringLiteral("MS Sans Serif"), 8);
    face.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial")});
    setFont(face);
    setSizeGripEnabled(false); // the status bar carries the grip
    resize(kClientWidth, kClientHeight);

    m_background = new StretchedPicture(backgroundPicture(), this);
    m_banner = new Banner(this);
    buildBoxes();
    buildBottomBand();
    placeBands();
    centreOnDesktop();

    frmContatos = this;
}

TfrmContatos::~TfrmContatos()
{
    if (frmContatos == this)
        frmContatos = nullptr;
}

void TfrmContatos::buildBoxes()
{
    struct Row { const char *label; QPoint labelAt; const char *box; const char *field; QRect at; };
    static const Row rows[] = {
        {"Nome", {40, 88}, "DBEdit1", "Nome", {104, 88, 409, kBoxHeight}},
        {"Telefone", {40, 120}, "DBEdit2", "Telefone", {104, 120, 105, kBoxHeight}},
        {"Celular", {216, 120}, "DBEdit3", "Celular", {256, 120, 97, kBoxHeight}},
        {"Comercial", {360, 120}, "DBEdit4", "Comercial", {416, 120, 97, kBoxHeight}},
        {"CPF / CNPJ", {40, 152}, "DBEdit6", "CPF_CNPJ", {104, 152, 201, kBoxHeight}},
        {"RG / IE", {312, 152}, "DBEdit7", "IE", {360, 152, 153, kBoxHeight}},
        {"Endereco", {40, 184}, "DBEdit8", "Endereco", {104, 184, 409, kBoxHeight}},
        {"Cidade", {40, 216}, "DBEdit9", "Cidade", {104, 216, 281, kBoxHeight}},
        {"CEP", {392, 216}, "DBEdit10", "CEP", {424, 216, 89, kBoxHeight}},
        {"Email", {40, 248}, "DBEdit11", "email", {104, 248, 201, kBoxHeight}},
        {"Site", {312, 248}, "DBEdit12", "site", {336, 248, 177, kBoxHeight}},
        {"Categoria", {40, 280}, "DBEdit5", "Categoria", {104, 280, 269, kBoxHeight}},
        {"Nascimento", {379, 284}, "DBEdit13", "Nascimento", {440, 280, 73, kBoxHeight}},
        {"Observação", {40, 312}, "DBMemo1", "observacao", {104, 312, 407, 73}},
    };

    int labelNumber = 1;
    for (const Row &row : rows) {
        auto *label = new QLabel(QString::fromUtf8(row.label), this);
        label->setObjectName(QStringLiteral("Label%1").arg(labelNumber++));
        label->move(row.labelAt);
        label->adjustSize();

        const QString field = QString::fromLatin1(row.field);
        QWidget *box;
        if (QByteArrayView(row.box) == "DBMemo1") {
            DBMemo1 = new DBMemo(m_source, field, this);
            box = DBMemo1;
        } else {
            box = new DBEdit(m_source, field, this);
        }
        box->setObjectName(QString::fromLatin1(row.box));
        box->setGeometry(row.at);
        label->setBuddy(box);
        m_boxes.append(box);
    }

    const auto edit = [this](const char *name) {
        return findChild<DBEdit *>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
    };
    DBEdit1 = edit("DBEdit1");
    DBEdit2 = edit("DBEdit2");
    DBEdit3 = edit("DBEdit3");
    DBEdit4 = edit("DBEdit4");
    DBEdit5 = edit("DBEdit5");
    DBEdit6 = edit("DBEdit6");
    DBEdit7 = edit("DBEdit7");
    DBEdit8 = edit("DBEdit8");
    DBEdit9 = edit("DBEdit9");
    DBEdit10 = edit("DBEdit10");
    DBEdit11 = edit("DBEdit11");
    DBEdit12 = edit("DBEdit12");
    DBEdit13 = edit("DBEdit13");

    for (int i = 1; i < m_boxes.size(); ++i)
        setTabOrder(m_boxes.at(i - 1), m_boxes.at(i));
}

void TfrmContatos::buildBottomBand()
{
    m_bottomBand = new BottomBand(this);

    auto *toolBar = new QWidget(m_bottomBand);
    toolBar->setObjectName(QStringLiteral("AdvToolBar1"));
    toolBar->setGeometry(314, 2, 79 + 10 + 79, 57);

    btSalvar = makeButton(QStringLiteral("btSalvar"), QStringLiteral("Salvar"), saveIcon(), toolBar);
    btSalvar->move(0, 0);

    auto *separator = new QFrame(toolBar);
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    separator->setGeometry(79 + 4, 6, 2, 57 - 12);

    btVoltar = makeButton(QStringLiteral("btVoltar"), QStringLiteral("Voltar"), backIcon(), toolBar);
    btVoltar->move(79 + 10, 0);

    connect(btSalvar, &QToolButton::clicked, this, &TfrmContatos::btSalvarClick);
    connect(btVoltar, &QToolButton::clicked, this, &TfrmContatos::btVoltarClick);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("AdvOfficeStatusBar1"));
    m_statusBar->setSizeGripEnabled(true);
    for (const int width : {80, 100, 130}) {
        auto *panel = new QLabel(m_statusBar);
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFixedWidth(width);
        m_statusBar->addWidget(panel);
    }
    auto *last = new QLabel(m_statusBar);
    last->setFrameShape(QFrame::StyledPanel);
    m_statusBar->addWidget(last, 1);
}

void TfrmContatos::placeBands()
{
    const int w = width();
    const int h = height();
    m_banner->setGeometry(0, 0, w, kBannerHeight);
    m_statusBar->setGeometry(0, h - kStatusHeight, w, kStatusHeight);
    m_bottomBand->setGeometry(0, h - kStatusHeight - kBandHeight, w, kBandHeight);
    m_background->setGeometry(0, kBannerHeight, w,
                              qMax(0, h - kBannerHeight - kBandHeight - kStatusHeight));
}

void TfrmContatos::centreOnDesktop()
{
    QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QPoint centre = screen->availableGeometry().center();
    move(centre.x() - kOuterWidth / 2, centre.y() - kOuterHeight / 2);
}

int TfrmContatos::ShowModal()
{
    return exec();
}

void TfrmContatos::writePendingBoxes()
{
    for (QWidget *box : std::as_const(m_boxes)) {
        try {
            if (auto *edit = qobject_cast<DBEdit *>(box))
                edit->writePending();
            else if (auto *memo = qobject_cast<DBMemo *>(box))
                memo->writePending();
        } catch (...) {
            box->setFocus(Qt::OtherFocusReason);
            if (auto *edit = qobject_cast<DBEdit *>(box))
                edit->selectAll();
            else if (auto *memo = qobject_cast<DBMemo *>(box))
                memo->selectAll();
            throw;
        }
    }
}

void TfrmContatos::btSalvarClick()
{
    Messages::guarded([this] {
        writePendingBoxes();
        m_store->Commit();
        m_store->SaveToFile(m_dataFilePath);
        close();
    });
}

void TfrmContatos::btVoltarClick()
{
    Messages::guarded([this] {
        m_store->Cancel();
        close();
    });
}

void TfrmContatos::FormShow()
{
    DBEdit1->setFocus(Qt::OtherFocusReason);
}

void TfrmContatos::FormClose(QCloseEvent *event)
{
    setAttribute(Qt::WA_DeleteOnClose);
    if (frmContatos == this)
        frmContatos = nullptr;
    event->accept();
}

void TfrmContatos::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmContatos::closeEvent(QCloseEvent *event)
{
    // The close box keeps the change pending without saving or dropping it; what was typed in
    // the box that had the focus goes into the pending record, as leaving the box would.
    try {
        writePendingBoxes();
    } catch (const std::exception &error) {
        event->ignore();
        Messages::errorReport(error);
        return;
    }
    FormClose(event);
}

void TfrmContatos::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    placeBands();
}

void TfrmContatos::keyPressEvent(QKeyEvent *event)
{
    // Escape belongs to the boxes (it puts a field's value back); it never closes the editor.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
