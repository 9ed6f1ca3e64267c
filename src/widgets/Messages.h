#pragma once
// Every message box the program shows, in one place: the texts live here and tests answer the
// boxes by finding the active modal widget.

#include <QString>
#include <exception>

class QWidget;

namespace Messages {

inline const QString kTitle = QStringLiteral(" Atenção ");
inline const QString kApplicationTitle = QStringLiteral("Lirvan");

// The application-wide error report: title "Lirvan", stop icon, OK; a full stop is added when
// the message's last character has a code above that of ".".
void errorReport(const QString &message);
void errorReport(const std::exception &error);
QString errorReportText(const QString &message);

// " Nenhum registro selecionado ! " (warning, OK).
void warnNothingSelected(QWidget *parent);
// " Deseja excluir registro selecionado ? " (question, Sim/Não, Sim default, no other way out).
bool confirmDelete(QWidget *parent);
// A data file that could not be read was kept aside under `copyPath`.
void dataFileKeptAside(QWidget *parent, const QString &copyPath, const QString &reason);

// Runs an event handler; an exception that escapes it reaches the error report and the program
// goes on with the next input.
template <typename Handler>
void guarded(Handler &&handler)
{
    try {
        handler();
    } catch (const std::exception &error) {
        errorReport(error);
    }
}

} // namespace Messages
