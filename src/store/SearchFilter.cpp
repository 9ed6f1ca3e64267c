#include "store/SearchFilter.h"

#include "store/FilterExpression.h"

QString filterLiteral(const QString &text)
{
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("''"));
    return u'\'' + quoted + u'\'';
}

QString searchFilterText(const QString &name, const QString &phones, const QString &category)
{
    if (name.isEmpty() && phones.isEmpty() && category.isEmpty())
        return QString();
    auto contains = [](const QString &text) { return filterLiteral(u'%' + foldText(text) + u'%'); };

    QString filter = QStringLiteral(" nome is not null ");
    if (!name.isEmpty())
        filter += QStringLiteral(" and upper(Nome) like ") + contains(name);
    if (!category.isEmpty())
        filter += QStringLiteral(" and upper(categoria) like ") + contains(category);
    if (!phones.isEmpty()) {
        const QString pattern = contains(phones);
        filter += QStringLiteral(" and (upper(telefone) like ") + pattern
                + QStringLiteral(" or upper(celular) like ") + pattern
                + QStringLiteral(" or upper(comercial) like ") + pattern + u')';
    }
    return filter;
}

QString letterFilterText(const QString &letter)
{
    if (letter.isEmpty())
        return QString();
    return QStringLiteral("upper(Nome) like ") + filterLiteral(foldText(letter) + u'%');
}
