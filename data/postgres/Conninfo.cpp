#include "data/postgres/Conninfo.h"

#include <QStringList>
#include <libpq-fe.h>

namespace data::postgres {

namespace {
// A value as conninfo's keyword form writes it: in single quotes, with quotes and
// backslashes escaped.
QString quotedValue(const QString& value)
{
    QString text = value;
    text.replace(u'\\', QStringLiteral("\\\\"));
    text.replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + text + u'\'';
}
} // namespace

QString withoutPassword(const QString& conninfo)
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    if (!options) {
        PQfreemem(error);
        return conninfo;
    }
    QStringList kept;
    for (const PQconninfoOption* option = options; option->keyword; ++option) {
        if (!option->val || qstrcmp(option->keyword, "password") == 0)
            continue;
        kept << QString::fromUtf8(option->keyword) + u'=' + quotedValue(QString::fromUtf8(option->val));
    }
    PQconninfoFree(options);
    return kept.join(u' ');
}

QString withPassword(const QString& conninfo, const QString& password)
{
    return withoutPassword(conninfo) + QStringLiteral(" password=") + quotedValue(password);
}

} // namespace data::postgres
