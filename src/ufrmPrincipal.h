#pragma once
// TfrmPrincipal, the main window: the command bar, the letter index, the search row, the contact
// grid and the status bar over the one contact store, and the handlers behind them.

#include <QUrl>
#include <QWidget>
#include <functional>

class AlertWindow;
class ContactGrid;
class ContactReport;
class QNetworkAccessManager;
class ContactStore;
class DataSource;
class LetterBar;
class QAbstractButton;
class QLabel;
class QLineEdit;
class QTimer;
class RibbonBar;
class RibbonButton;
class StatusBar;

// What the program is given by the machine it runs on.
struct ProgramEnvironment
{
    QString folder;                 // holds Lirvan.VKX and LIRVAN.ini
    QUrl noticeServer;              // base URL of the maker's web server
    std::function<bool()> isOnline; // the operating system's answer: is a connection up?
    static ProgramEnvironment forRunningProgram(); // the executable's folder, the real server, the real check
};

class TfrmPrincipal : public QWidget
{
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral("..:: Lirvan - Agenda Telefônica ::..");

    explicit TfrmPrincipal(const ProgramEnvironment &env, QWidget *parent = nullptr);
    ~TfrmPrincipal() override;

    const ProgramEnvironment &environment() const { return m_env; }
    // The contact data file in the program folder.
    QString dataFilePath() const;
    ContactStore *store() const { return cdsContatos; }
    DataSource *dataSource() const { return dtsContatos; }

public slots:
    void btBackupClick();
    void AdvToolBarButton28Click();
    void AdvToolBarButton27Click();
    void AdvToolBarButton1Click();
    void AdvToolBarButton30Click();
    void btFecharClick();
    void grdContatosDblClick();
    void edPesquisaChange();
    void btPesquisaClick(QAbstractButton *Sender);
    void Timer1Timer();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void Verificacao();
    void showBirthdayAlert();
    void destroyAlert();
    void reportDataFileKeptAside();

    void buildCommandBar();
    void buildLetterIndex();
    void buildSearchRow();
    void buildStatusBar();
    void placeBands();

    ProgramEnvironment m_env;

    ContactStore *cdsContatos;
    DataSource *dtsContatos;
    RibbonBar *menu;
    RibbonButton *btBackup = nullptr;
    RibbonButton *AdvToolBarButton28 = nullptr;
    RibbonButton *AdvToolBarButton27 = nullptr;
    RibbonButton *AdvToolBarButton1 = nullptr;
    RibbonButton *AdvToolBarButton30 = nullptr;
    RibbonButton *btFechar = nullptr;
    LetterBar *Panel1 = nullptr;
    LetterBar *Panel2 = nullptr;
    QLabel *imgFundo;
    QLineEdit *edPesquisa = nullptr;
    QLineEdit *edTelefones = nullptr;
    QLineEdit *edCategoria = nullptr;
    ContactGrid *grdContatos = nullptr;
    StatusBar *stbar = nullptr;
    QTimer *Timer1;
    AlertWindow *AdvAlertWindow1 = nullptr;
    ContactReport *ppReport1 = nullptr;
    QNetworkAccessManager *IdHTTP1 = nullptr;

    bool m_shown = false;
    bool m_dataFileKeptAside = false;
    QString m_keptAsideCopy;
    QString m_keptAsideReason;
};
