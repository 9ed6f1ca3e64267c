#include "widgets/Messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace Messages {

QString errorReportText(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

void errorReport(const QString &message)
{
    QMessageBox box(QMessageBox::Critical, kApplicationTitle, errorReportText(message),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("errorReport"));
    box.exec();
}

void errorReport(const std::exception &error)
{
    errorReport(QString::fromUtf8(error.what()));
}

void warnNothingSelected(QWidget *parent)
{
    QMessageBox box(QMessageBox::Warning, kTitle, QStringLiteral(" Nenhum registro selecionado ! "),
                    QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("warnNothingSelected"));
    box.exec();
}

bool confirmDelete(QWidget *parent)
{
    QMessageBox box(QMessageBox::Question, kTitle,
                    QStringLiteral(" Deseja excluir registro selecionado ? "),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("confirmDelete"));
    box.setDefaultButton(QMessageBox::Yes);
    // Escape and the close box must not answer: only Sim or Não do.
    box.setEscapeButton(static_cast<QAbstractButton *>(nullptr));
    box.setWindowFlag(Qt::WindowCloseButtonHint, false);
    return box.exec() == QMessageBox::Yes;
}

void dataFileKeptAside(QWidget *parent, const QString &copyPath, const QString &reason)
{
    QMessageBox box(QMessageBox::Warning, kTitle,
                    QStringLiteral(" O arquivo de contatos não pôde ser lido (%1).\n"
                                   "Ele foi guardado sem alterações em:\n%2\n"
                                   "A agenda foi aberta vazia. ")
                        .arg(reason, copyPath),
                    QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("dataFileKeptAside"));
    box.exec();
}

} // namespace Messages
