// The program: the application object, Qt's own texts in Portuguese, and the main window.

#include "ufrmPrincipal.h"
#include "widgets/Messages.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// An exception that escapes an event handler reaches the error report, and the program goes
// on with the next input.
class LirvanApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception &error) {
            Messages::errorReport(error);
        }
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    LirvanApplication app(argc, argv);
    // The application name only: a display name would be appended to every window caption.
    QApplication::setApplicationName(QStringLiteral("Lirvan"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));

    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_pt_BR"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    TfrmPrincipal frmPrincipal(ProgramEnvironment::forRunningProgram());
    frmPrincipal.show();
    return app.exec();
}
