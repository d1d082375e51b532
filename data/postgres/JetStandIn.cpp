#include "data/postgres/JetStandIn.h"

#include "data/LedgerProblem.h"
#include "data/StoredFormat.h"
#include "data/sqlite/JetSql.h"

namespace data::postgres {

namespace {

[[noreturn]] void unterminated()
{
    throw platform::DbError(QStringLiteral("Syntax error in string in query expression."));
}

QString timestamp(const QString& literal)
{
    const auto date = platform::jet::parseLiteralDate(literal);
    if (!date)
        throw platform::DbError(QStringLiteral("Syntax error in date in query expression '#%1#'.").arg(literal));
    const QString text = date->typeId() == QMetaType::QDate ? stored::dateText(date->toDate())
                                                             : stored::dateTimeText(date->toDateTime());
    return QStringLiteral("timestamp '") + text + u'\'';
}

// The quoted text starting at `at` (its quote), undoubled; `at` moves past it.
QString quotedText(const QString& sql, qsizetype& at)
{
    const QChar quote = sql[at];
    QString text;
    for (qsizetype i = at + 1; i < sql.size(); ++i) {
        if (sql[i] != quote) {
            text += sql[i];
        } else if (i + 1 < sql.size() && sql[i + 1] == quote) {
            text += quote;
            ++i;
        } else {
            at = i + 1;
            return text;
        }
    }
    unterminated();
}

QString pgText(const QString& text)
{
    return u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\'';
}

} // namespace

QString translateStandIn(const QString& sql)
{
    QString out;
    qsizetype i = 0;
    while (i < sql.size()) {
        const QChar c = sql[i];
        if (c == u'\'' || c == u'"') {
            out += pgText(quotedText(sql, i));
        } else if (c == u'[') {
            const qsizetype close = sql.indexOf(u']', i);
            if (close < 0)
                unterminated();
            out += u'"' + sql.mid(i + 1, close - i - 1).toLower() + u'"';
            i = close + 1;
        } else if (c == u'#') {
            const qsizetype close = sql.indexOf(u'#', i + 1);
            if (close < 0)
                unterminated();
            out += timestamp(sql.mid(i + 1, close - i - 1));
            i = close + 1;
        } else if (c == u'&') {
            out += QStringLiteral("||");
            ++i;
        } else if (c.isLetter() || c == u'_') {
            qsizetype end = i;
            while (end < sql.size() && (sql[end].isLetterOrNumber() || sql[end] == u'_'))
                ++end;
            const QString word = sql.mid(i, end - i);
            const bool afterDot = !out.isEmpty() && out.back() == u'.';
            const QString lower = word.toLower();
            if (!afterDot && (lower == u"true" || lower == u"yes")) {
                out += QStringLiteral("true");
            } else if (!afterDot && (lower == u"false" || lower == u"no")) {
                out += QStringLiteral("false");
            } else if (lower == u"cdate" && sql.mid(end, 2) == u"('") {
                qsizetype at = end + 1;
                const QString literal = quotedText(sql, at);
                if (at >= sql.size() || sql[at] != u')')
                    unterminated();
                out += timestamp(literal);
                end = at + 1;
            } else {
                out += word;
            }
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

} // namespace data::postgres
