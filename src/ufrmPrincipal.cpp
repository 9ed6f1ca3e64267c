#include "ufrmPrincipal.h"

#include "notice/InstallNotice.h"
#include "notice/OnlineCheck.h"
#include "report/ContactReport.h"
#include "store/ContactStore.h"
#include "store/DataSource.h"
#include "store/SearchFilter.h"
#include "store/StartupLoad.h"
#include "ufrmContatos.h"
#include "ufrmSobre.h"
#include "widgets/AlertWindow.h"
#include "widgets/BirthdayScan.h"
#include "widgets/ContactGrid.h"
#include "widgets/LetterIndex.h"
#include "widgets/Messages.h"
#include "widgets/Pictures.h"
#include "widgets/RibbonBar.h"
#include "widgets/StatusBar.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

namespace {

// The window's fonts are the ones the program was drawn with; where they are missing, the
// metric-compatible sans serif stands in, so the texts keep their room.
void installFontSubstitutes()
{
    const QStringList sans{QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                           QStringLiteral("DejaVu Sans")};
    for (const char *family : {"MS Sans Serif", "Tahoma", "Segoe UI"}) {
        const QString name = QString::fromLatin1(family);
        if (QFont::substitutes(name).isEmpty())
            QFont::insertSubstitutions(name, sans);
    }
}

QFont windowFont(int points)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(points);
    return font;
}

constexpr int kClientWidth = 868;
constexpr int kClientHeight = 598;   // 636 outer, less a standard caption and border
constexpr int kOuterWidth = 884;
constexpr int kOuterHeight = 636;
constexpr int kPanel1Top = 142;
constexpr int kPanel2Top = 184;
constexpr int kWorkAreaTop = 226;

} // namespace

ProgramEnvironment ProgramEnvironment::forRunningProgram()
{
    return ProgramEnvironment{QCoreApplication::applicationDirPath(),
                              QUrl(QString::fromLatin1(kNoticeProductionServer)), &isNetworkUp};
}

TfrmPrincipal::TfrmPrincipal(const ProgramEnvironment &env, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint),
      m_env(env),
      cdsContatos(new ContactStore(this)),
      dtsContatos(new DataSource(cdsContatos, this)),
      menu(new RibbonBar(this)),
      imgFundo(nullptr),
      Timer1(new QTimer(this))
{
    installFontSubstitutes();
    setObjectName(QStringLiteral("frmPrincipal"));
    setWindowTitle(kCaption);
    setWindowIcon(Pictures::windowIcon());
    setFont(windowFont(8));
    cdsContatos->setObjectName(QStringLiteral("cdsContatos"));
    dtsContatos->setObjectName(QStringLiteral("dtsContatos"));

    buildCommandBar();
    buildLetterIndex();

    imgFundo = new QLabel(this);
    imgFundo->setObjectName(QStringLiteral("imgFundo"));
    imgFundo->setScaledContents(true);
    imgFundo->setPixmap(Pictures::workAreaBackground());

    grdContatos = new ContactGrid(dtsContatos, this);
    grdContatos->setObjectName(QStringLiteral("grdContatos"));
    grdContatos->setGeometry(9, 269, 850, 306);
    connect(grdContatos, &ContactGrid::gridDoubleClicked, this, &TfrmPrincipal::grdContatosDblClick);

    buildSearchRow();
    buildStatusBar();

    setTabOrder(menu, grdContatos);
    setTabOrder(grdContatos, edPesquisa);
    setTabOrder(edPesquisa, edTelefones);
    setTabOrder(edTelefones, edCategoria);
    menu->setFocus();

    AdvAlertWindow1 = new AlertWindow(this);
    AdvAlertWindow1->setObjectName(QStringLiteral("AdvAlertWindow1"));
    ppReport1 = new ContactReport(dtsContatos, this);
    IdHTTP1 = new QNetworkAccessManager(this);
    IdHTTP1->setObjectName(QStringLiteral("IdHTTP1"));

    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(5000);
    connect(Timer1, &QTimer::timeout, this, &TfrmPrincipal::Timer1Timer);
    Timer1->start();

    resize(kClientWidth, kClientHeight);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QPoint centre = screen->availableGeometry().center();
        move(centre.x() - kOuterWidth / 2, centre.y() - kOuterHeight / 2);
    }

    FormCreate();
}

TfrmPrincipal::~TfrmPrincipal() = default;

QString TfrmPrincipal::dataFilePath() const
{
    return QDir(m_env.folder).filePath(QString::fromLatin1(kDataFileName));
}

void TfrmPrincipal::buildCommandBar()
{
    menu->setObjectName(QStringLiteral("menu"));
    menu->setCaption(kCaption);
    menu->setPageTitle(QStringLiteral("  Lirvan  "));
    using Pictures::Command;
    const int contacts = menu->addGroup(362);
    btBackup = menu->addButton(contacts, QStringLiteral("btBackup"),
                               QStringLiteral("Novo Contato"),
                               Pictures::commandIcon(Command::NewContact));
    AdvToolBarButton28 = menu->addButton(contacts, QStringLiteral("AdvToolBarButton28"),
                                         QStringLiteral("Editar Contato"),
                                         Pictures::commandIcon(Command::EditContact));
    AdvToolBarButton27 = menu->addButton(contacts, QStringLiteral("AdvToolBarButton27"),
                                         QStringLiteral("Excluir Contato"),
                                         Pictures::commandIcon(Command::DeleteContact));
    AdvToolBarButton1 = menu->addButton(contacts, QStringLiteral("AdvToolBarButton1"),
                                        QStringLiteral("Imprimir"),
                                        Pictures::commandIcon(Command::Print));
    const int about = menu->addGroup();
    AdvToolBarButton30 = menu->addButton(about, QStringLiteral("AdvToolBarButton30"),
                                         QStringLiteral("Sobre"),
                                         Pictures::commandIcon(Command::About));
    const int leave = menu->addGroup(86);
    btFechar = menu->addButton(leave, QStringLiteral("btFechar"), QStringLiteral("Fechar"),
                               Pictures::commandIcon(Command::Close));

    connect(btBackup, &QAbstractButton::clicked, this, &TfrmPrincipal::btBackupClick);
    connect(AdvToolBarButton28, &QAbstractButton::clicked, this,
            &TfrmPrincipal::AdvToolBarButton28Click);
    connect(AdvToolBarButton27, &QAbstractButton::clicked, this,
            &TfrmPrincipal::AdvToolBarButton27Click);
    connect(AdvToolBarButton1, &QAbstractButton::clicked, this,
            &TfrmPrincipal::AdvToolBarButton1Click);
    connect(AdvToolBarButton30, &QAbstractButton::clicked, this,
            &TfrmPrincipal::AdvToolBarButton30Click);
    connect(btFechar, &QAbstractButton::clicked, this, &TfrmPrincipal::btFecharClick);
}

void TfrmPrincipal::buildLetterIndex()
{
    Panel1 = new LetterBar(103, QStringList{QString()} + letterRange('a', 'm'), this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->buttons().front()->setObjectName(QStringLiteral("btPesquisa"));
    Panel2 = new LetterBar(126, letterRange('n', 'z'), this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    for (LetterBar *bar : {Panel1, Panel2})
        connect(bar, &LetterBar::letterClicked, this, &TfrmPrincipal::btPesquisaClick);
}

void TfrmPrincipal::buildSearchRow()
{
    const QFont font = windowFont(10);
    const struct
    {
        const char *caption;
        int labelLeft;
        const char *boxName;
        QRect box;
        QLineEdit *TfrmPrincipal::*member;
    } row[] = {
        {"Pesquisar Contato", 8, "edPesquisa", QRect(124, 237, 214, 24), &TfrmPrincipal::edPesquisa},
        {"Telefones:", 344, "edTelefones", QRect(412, 237, 133, 24), &TfrmPrincipal::edTelefones},
        {"Categoria:", 552, "edCategoria", QRect(620, 237, 237, 24), &TfrmPrincipal::edCategoria},
    };
    for (const auto &item : row) {
        auto *label = new QLabel(QString::fromUtf8(item.caption), this);
        label->setFont(font);
        label->setAutoFillBackground(false);
        label->adjustSize();
        label->move(item.labelLeft, 240);

        auto *box = new QLineEdit(this);
        box->setObjectName(QString::fromLatin1(item.boxName));
        box->setFont(font);
        box->setGeometry(item.box);
        label->setBuddy(box);
        this->*item.member = box;
        connect(box, &QLineEdit::textChanged, this, &TfrmPrincipal::edPesquisaChange);
    }
}

void TfrmPrincipal::buildStatusBar()
{
    stbar = new StatusBar(this);
    stbar->setObjectName(QStringLiteral("stbar"));
    stbar->addPanel(130);
    stbar->addPanel(100, QStringLiteral("Versão 1.0"));
    stbar->addPanel(200);
    stbar->addPanel(0, QStringLiteral("Desenvolvido por Equipe Lirvan — www.lirvan.com.br"));
}

void TfrmPrincipal::placeBands()
{
    const int w = width();
    const int h = height();
    menu->setGeometry(0, 0, w, RibbonBar::kHeight);
    Panel1->setGeometry(0, kPanel1Top, w, LetterBar::kHeight);
    Panel2->setGeometry(0, kPanel2Top, w, LetterBar::kHeight);
    stbar->setGeometry(0, h - StatusBar::kHeight, w, StatusBar::kHeight);
    imgFundo->setGeometry(0, kWorkAreaTop, w, qMax(0, h - StatusBar::kHeight - kWorkAreaTop));
}

void TfrmPrincipal::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeBands();
}

void TfrmPrincipal::FormCreate()
{
    const StartupLoadOutcome outcome = loadAtStartup(*cdsContatos, dataFilePath());
    if (outcome.keptAside) {
        m_dataFileKeptAside = true;
        m_keptAsideCopy = outcome.copyPath;
        m_keptAsideReason = outcome.reason;
    }
}

void TfrmPrincipal::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shown || event->spontaneous())
        return;
    m_shown = true;
    Messages::guarded([this] { FormShow(); });
    // Told once the window stands on the screen, never while it is being built.
    if (m_dataFileKeptAside)
        QMetaObject::invokeMethod(this, &TfrmPrincipal::reportDataFileKeptAside,
                                  Qt::QueuedConnection);
}

void TfrmPrincipal::FormShow()
{
    Verificacao();
    showBirthdayAlert();
    // The scan leaves the cursor past the last birth date: the window opens on the first contact.
    cdsContatos->MoveFirst();
}

void TfrmPrincipal::reportDataFileKeptAside()
{
    if (!m_dataFileKeptAside)
        return;
    m_dataFileKeptAside = false;
    Messages::dataFileKeptAside(this, m_keptAsideCopy, m_keptAsideReason);
}

void TfrmPrincipal::closeEvent(QCloseEvent *event)
{
    Messages::guarded([this] { FormClose(); });
    QWidget::closeEvent(event);
}

void TfrmPrincipal::FormClose()
{
    destroyAlert();
}

void TfrmPrincipal::btFecharClick()
{
    Messages::guarded([this] { close(); });
}

void TfrmPrincipal::edPesquisaChange()
{
    Messages::guarded([this] {
        const QString text =
            searchFilterText(edPesquisa->text(), edTelefones->text(), edCategoria->text());
        if (text.isEmpty()) {
            cdsContatos->SetFiltered(false);
            return;
        }
        cdsContatos->SetFiltered(false);
        cdsContatos->SetFilter(text);
        cdsContatos->SetFiltered(true);
    });
}

void TfrmPrincipal::btPesquisaClick(QAbstractButton *Sender)
{
    Messages::guarded([this, Sender] {
        const QString letter = Sender ? Sender->text() : QString();
        if (letter.isEmpty()) {
            cdsContatos->SetFiltered(false);
            return;
        }
        cdsContatos->SetFiltered(false);
        cdsContatos->SetFilter(letterFilterText(letter));
        cdsContatos->SetFiltered(true);
    });
}

// The handlers below belong to the contact commands, the report, the about window, the install
// notice and the birthday alert; each is connected to its control here and filled in where
// that feature is joined to the window.

void TfrmPrincipal::btBackupClick()
{
    Messages::guarded([this] {
        frmContatos = new TfrmContatos(dtsContatos, dataFilePath(), this);
        try {
            cdsContatos->Insert();
        } catch (...) {
            delete frmContatos;
            throw;
        }
        frmContatos->ShowModal();
    });
}

void TfrmPrincipal::AdvToolBarButton28Click()
{
    grdContatosDblClick();
}

void TfrmPrincipal::AdvToolBarButton27Click()
{
    Messages::guarded([this] {
        if (cdsContatos->NoneVisible()) {
            Messages::warnNothingSelected(this);
            return;
        }
        if (!Messages::confirmDelete(this))
            return;
        cdsContatos->Delete();
        cdsContatos->SaveToFile(dataFilePath());
    });
}

void TfrmPrincipal::grdContatosDblClick()
{
    Messages::guarded([this] {
        // The emptiness test comes first: no editor is created for the warning.
        if (cdsContatos->NoneVisible()) {
            Messages::warnNothingSelected(this);
            return;
        }
        frmContatos = new TfrmContatos(dtsContatos, dataFilePath(), this);
        try {
            cdsContatos->Edit();
        } catch (...) {
            delete frmContatos;
            throw;
        }
        frmContatos->ShowModal();
    });
}

void TfrmPrincipal::AdvToolBarButton1Click()
{
    Messages::guarded([this] { ppReport1->Print(this); });
}

void TfrmPrincipal::AdvToolBarButton30Click()
{
    Messages::guarded([this] { TfrmSobre::showModal(this); });
}

void TfrmPrincipal::Timer1Timer()
{
    if (AdvAlertWindow1)
        AdvAlertWindow1->hideAlert();
}

void TfrmPrincipal::Verificacao()
{
    sendInstallNotice(m_env.folder, m_env.noticeServer, m_env.isOnline, kNoticeTimeoutMs, IdHTTP1);
}

void TfrmPrincipal::showBirthdayAlert()
{
    const QString text = birthdayAlertText(*cdsContatos, *dtsContatos, QDate::currentDate());
    if (text.isEmpty() || !AdvAlertWindow1)
        return;
    AdvAlertWindow1->addMessage(text);
    AdvAlertWindow1->showAlert();
}

void TfrmPrincipal::destroyAlert()
{
    // No tick may reach the alert once it is gone.
    Timer1->stop();
    delete AdvAlertWindow1;
    AdvAlertWindow1 = nullptr;
}
