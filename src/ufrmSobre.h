#pragma once
// TfrmSobre, the about window: a picture with the program's name and its maker's notice,
// address and e-mail. It has no controls; only its close box or system menu closes it.

#include <QDialog>

class TfrmSobre : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmSobre(QWidget *owner);
    ~TfrmSobre() override;

    // Creates the window owned by `owner`, stores it in frmSobre and shows it modally; returns
    // when the window has closed and freed itself.
    static void showModal(QWidget *owner);

    // The picture behind the texts, 450 × 250 pixels.
    static QPixmap picture();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FormClose();
    void centreOnDesktop();
};

// The about window while it exists, null otherwise.
extern TfrmSobre *frmSobre;
