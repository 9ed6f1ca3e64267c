#pragma once
// The contact editor: a modal window whose boxes are bound to the current record of the store,
// which the opening command has put into insert or edit state. "Salvar" commits the record and
// writes the data file; "Voltar" drops the change; the close box leaves the change pending.

#include <QDialog>
#include <QList>

class DataSource;
class ContactStore;
class DBEdit;
class DBMemo;
class QLabel;
class QStatusBar;
class QToolButton;
class QWidget;

class TfrmContatos : public QDialog
{
    Q_OBJECT
public:
    // The window frees itself when it closes; `owner` is the main window.
    TfrmContatos(DataSource *source, const QString &dataFilePath, QWidget *owner);
    ~TfrmContatos() override;

    // Shows the window modally and returns when it has closed.
    int ShowModal();

    // Writes the text typed in every box into the pending record. Throws StoreError; the box
    // whose text could not be written then holds the focus with its text selected.
    void writePendingBoxes();

    DBEdit *DBEdit1, *DBEdit2, *DBEdit3, *DBEdit4, *DBEdit5, *DBEdit6, *DBEdit7, *DBEdit8,
        *DBEdit9, *DBEdit10, *DBEdit11, *DBEdit12, *DBEdit13;
    DBMemo *DBMemo1;
    QToolButton *btSalvar;
    QToolButton *btVoltar;

public slots:
    void btSalvarClick();
    void btVoltarClick();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FormShow();
    void FormClose(QCloseEvent *event);
    void buildBoxes();
    void buildBottomBand();
    void placeBands();
    void centreOnDesktop();

    ContactStore *m_store;
    DataSource *m_source;
    QString m_dataFilePath;
    QList<QWidget *> m_boxes;        // tab order
    QWidget *m_banner = nullptr;
    QWidget *m_background = nullptr;
    QWidget *m_bottomBand = nullptr;
    QStatusBar *m_statusBar = nullptr;
};

// The editor while it exists: set when it is created, null again once it has closed.
extern TfrmContatos *frmContatos;
