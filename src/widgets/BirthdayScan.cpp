#include "widgets/BirthdayScan.h"

#include "store/ContactStore.h"
#include "store/DataSource.h"

const QString kBirthdayAlertHeading = QStringLiteral(
    "<FONT color=\"#000080\" face=\"Arial\"  size=\"13\"><B>Aniversariantes do Mês</B></FONT>"
    "<br><br>");

namespace {

QString entriesBornIn(ContactStore &store, const QString &month)
{
    const QString birth = QStringLiteral("Nascimento");
    QString entries;
    store.SetIndexFieldNames(birth);
    store.MoveFirst();
    while (!store.AtEnd()) {
        if (!store.IsNull(birth)
            && store.AsDateTime(birth).toString(QStringLiteral("MM")) == month) {
            entries += QStringLiteral("<b>Nome: </b>") + store.AsString(QStringLiteral("Nome"))
                + QStringLiteral(" <b>Nascimento: </b>") + store.AsString(birth)
                + QStringLiteral("<br><br>");
        }
        store.Next();
    }
    return entries;
}

} // namespace

QString birthdayAlertText(ContactStore &store, DataSource &source, const QDate &today)
{
    const QString nameOrder = QStringLiteral("Nome");
    QString entries;
    source.SetEnabled(false);
    try {
        entries = entriesBornIn(store, today.toString(QStringLiteral("MM")));
    } catch (...) {
        // The grid must not stay frozen in birth-date order after a failed walk.
        source.SetEnabled(true);
        try {
            store.SetIndexFieldNames(nameOrder);
        } catch (...) {
            // The walk's own error is the one to report.
        }
        throw;
    }
    source.SetEnabled(true);
    store.SetIndexFieldNames(nameOrder);

    if (entries.isEmpty())
        return {};
    return kBirthdayAlertHeading + entries;
}
