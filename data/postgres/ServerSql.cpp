#include "data/postgres/ServerSql.h"

#include "data/JetDates.h"
#include "data/JetTokens.h"
#include "data/StoredFormat.h"

#include <QDateTime>
#include <map>

namespace data::postgres {

using namespace data::jet;
using platform::DbError;

namespace {

QString timestampLiteral(const QVariant& date)
{
    const QDateTime at = date.typeId() == QMetaType::QDateTime ? date.toDateTime()
                                                               : QDateTime(date.toDate(), QTime(0, 0), Qt::UTC);
    return QStringLiteral("TIMESTAMP '") + at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + u'\'';
}

// A text literal that reads the same whatever standard_conforming_strings says.
QString textLiteral(const QString& text)
{
    if (!text.contains(u'\\'))
        return quoted(text, u'\'');
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\"));
    return u'E' + quoted(escaped, u'\'');
}

// A bracketed name as the bare name reads: PostgreSQL folds only A to Z.
QString identifier(QStringView name)
{
    QString folded = name.toString();
    for (QChar& c : folded) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return quoted(folded, u'"');
}

// Digits with at most one point and an optional exponent: a number and nothing more.
bool isPlainDecimal(QStringView number)
{
    qsizetype i = 0;
    const qsizetype n = number.size();
    qsizetype digits = 0;
    for (; i < n && number[i].isDigit(); ++i)
        ++digits;
    if (i < n && number[i] == u'.')
        for (++i; i < n && number[i].isDigit(); ++i)
            ++digits;
    if (digits == 0)
        return false;
    if (i < n && (number[i] == u'e' || number[i] == u'E')) {
        if (++i < n && (number[i] == u'+' || number[i] == u'-'))
            ++i;
        if (i == n || !number[i].isDigit())
            return false;
        while (i < n && number[i].isDigit())
            ++i;
    }
    return i == n;
}

// The value ranges (first and last token) in an insert's values or an update's set
// that give a yes/no column a plain number, and the truth each stands for.
class YesNoNumbers {
public:
    explicit YesNoNumbers(const std::vector<Token>& tokens) : m_tokens(tokens)
    {
        const size_t first = nextSignificant(tokens, 0);
        if (first < tokens.size() && isWord(tokens[first], "insert"))
            readInsert(first);
        else if (first < tokens.size() && isWord(tokens[first], "update"))
            readUpdate(first);
    }

    struct Range { size_t last; bool truth; };
    const Range* at(size_t i) const
    {
        const auto found = m_ranges.find(i);
        return found == m_ranges.end() ? nullptr : &found->second;
    }

private:
    size_t next(size_t i) const { return nextSignificant(m_tokens, i + 1); }
    bool isName(size_t i) const
    {
        return i < m_tokens.size() && (m_tokens[i].type == Tok::Word || m_tokens[i].type == Tok::Bracket);
    }

    // A value from `from` up to a comma or close at depth 0; answers where it stopped.
    size_t value(size_t from, const QString& column)
    {
        size_t i = from;
        int depth = 0;
        size_t last = from;
        for (; i < m_tokens.size(); ++i) {
            if (m_tokens[i].type == Tok::Space)
                continue;
            if (isPunct(m_tokens, i, u'('))
                ++depth;
            else if (isPunct(m_tokens, i, u')') && depth-- == 0)
                break;
            else if (depth == 0 && (isPunct(m_tokens, i, u',') || isPunct(m_tokens, i, u';')
                                    || isWord(m_tokens[i], "where")))
                break;
            last = i;
        }
        size_t number = from;
        if (isPunct(m_tokens, number, u'-'))
            number = next(number);
        if (number == last && number < m_tokens.size() && m_tokens[number].type == Tok::Number
            && isPlainDecimal(m_tokens[number].text)
            && stored::kindOf(m_table.constData(), column.toUtf8().constData()) == stored::ColumnKind::YesNo)
            m_ranges[from] = {last, m_tokens[number].text.toString().toDouble() != 0};
        return i;
    }

    void readInsert(size_t i)
    {
        i = next(i);
        if (i >= m_tokens.size() || !isWord(m_tokens[i], "into"))
            return;
        i = next(i);
        if (!isName(i))
            return;
        m_table = m_tokens[i].text.toUtf8();
        i = next(i);
        QStringList columns;
        if (!isPunct(m_tokens, i, u'('))
            return;
        for (i = next(i); isName(i); i = next(i)) {
            columns << m_tokens[i].text.toString();
            i = next(i);
            if (!isPunct(m_tokens, i, u','))
                break;
        }
        if (!isPunct(m_tokens, i, u')'))
            return;
        i = next(i);
        if (i >= m_tokens.size() || !isWord(m_tokens[i], "values"))
            return;
        for (i = next(i); isPunct(m_tokens, i, u'('); i = next(i)) {
            i = next(i);
            for (qsizetype k = 0; k < columns.size(); ++k) {
                i = nextSignificant(m_tokens, value(i, columns[k]));
                if (!isPunct(m_tokens, i, u','))
                    break;
                i = next(i);
            }
            if (!isPunct(m_tokens, i, u')'))
                return;
            i = next(i);
            if (!isPunct(m_tokens, i, u','))
                return;
        }
    }

    void readUpdate(size_t i)
    {
        i = next(i);
        if (!isName(i))
            return;
        m_table = m_tokens[i].text.toUtf8();
        i = next(i);
        if (i >= m_tokens.size() || !isWord(m_tokens[i], "set"))
            return;
        for (i = next(i); isName(i); i = next(i)) {
            QString column = m_tokens[i].text.toString();
            i = next(i);
            if (isPunct(m_tokens, i, u'.')) {   // table.column
                i = next(i);
                if (!isName(i))
                    return;
                column = m_tokens[i].text.toString();
                i = next(i);
            }
            if (!isPunct(m_tokens, i, u'='))
                return;
            i = nextSignificant(m_tokens, value(next(i), column));
            if (!isPunct(m_tokens, i, u','))
                return;
        }
    }

    const std::vector<Token>& m_tokens;
    QByteArray m_table;
    std::map<size_t, Range> m_ranges;
};

// Jet and the file sort Null before every value, PostgreSQL after: each ORDER BY term is
// given the file's place for Null. The clause ends at LIMIT or OFFSET; a term that places
// its Nulls keeps that.
struct NullsFirstRule {
    struct Term {
        bool inTerm = false;
        bool descending = false;
        bool placed = false;
    };
    static bool endsClause(const Token& t) { return isWord(t, "limit") || isWord(t, "offset"); }
    static bool endsTerm(const Token&) { return false; }
    static void see(const Token& t, Term& term)
    {
        term.inTerm = true;
        term.descending = term.descending || isWord(t, "desc");
        term.placed = term.placed || isWord(t, "nulls");
    }
    static void close(const Term& term, QString& out)
    {
        if (!term.inTerm || term.placed)
            return;
        qsizetype at = out.size();
        while (at > 0 && out[at - 1].isSpace())
            --at;
        out.insert(at, term.descending ? QStringLiteral(" NULLS LAST") : QStringLiteral(" NULLS FIRST"));
    }
};
using NullsFirst = data::jet::OrderByTerms<NullsFirstRule>;

// A word: CDate of a literal becomes the timestamp it names, yes and no the truths,
// Chr(0) is refused; anything else stays as written. Answers the last token used.
size_t translateWord(const std::vector<Token>& tokens, size_t i, QString& out)
{
    const Token& t = tokens[i];
    const size_t next = nextSignificant(tokens, i + 1);
    const bool call = isPunct(tokens, next, u'(');
    if (call && (isWord(t.text, u"cdate") || isWord(t.text, u"chr"))) {
        const size_t arg = nextSignificant(tokens, next + 1);
        const size_t close = nextSignificant(tokens, arg + 1);
        if (isWord(t.text, u"chr")) {
            if (arg < tokens.size() && tokens[arg].type == Tok::Number && isPlainDecimal(tokens[arg].text)
                && tokens[arg].text.toString().toDouble() == 0 && isPunct(tokens, close, u')'))
                throw DbError(nulRefusalMessage());
        } else if (arg < tokens.size() && (tokens[arg].type == Tok::String || tokens[arg].type == Tok::DqString)
                   && isPunct(tokens, close, u')')) {
            // As the file reads them: cdate("...") in the user's own short format first,
            // CDate('...') in the fixed month-first text.
            const auto date = tokens[arg].type == Tok::DqString
                ? platform::jet::parseLocaleDate(unquoted(tokens[arg].text, u'"'))
                : platform::jet::parseCDate(unquoted(tokens[arg].text, u'\''));
            if (!date)
                throw DbError(QStringLiteral("Data type mismatch in criteria expression."));
            out += timestampLiteral(*date);
            return close;
        }
    }
    const bool member = isPunct(tokens, next, u'.') || (!out.isEmpty() && out.back() == u'.');
    if (!call && !member && (isWord(t.text, u"true") || isWord(t.text, u"yes")))
        out += QStringLiteral("true");
    else if (!call && !member && (isWord(t.text, u"false") || isWord(t.text, u"no")))
        out += QStringLiteral("false");
    else
        out += t.text;
    return i;
}


} // namespace

QString nulRefusalMessage()
{
    return QStringLiteral("A text holding the character Chr(0) cannot be kept in a ledger on a server.");
}

QString translate(const QString& sql)
{
    // libpq reads a statement up to its first NUL: the rest would be lost unseen.
    if (sql.contains(QChar(0)))
        throw DbError(nulRefusalMessage());
    const std::vector<Token> tokens = tokenize(sql);
    const YesNoNumbers yesNo(tokens);
    QString out;
    out.reserve(sql.size() + 32);
    NullsFirst nulls;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        nulls.before(tokens, i, out);
        if (const auto* range = yesNo.at(i)) {
            out += range->truth ? QStringLiteral("true") : QStringLiteral("false");
            i = range->last;
            continue;
        }
        switch (t.type) {
        case Tok::Word:
            i = translateWord(tokens, i, out);
            break;
        case Tok::String:
            if (t.text.contains(u'\\')) {
                out += textLiteral(unquoted(t.text, u'\''));
            } else {
                // Written as PostgreSQL writes it already: quotes doubled inside single quotes.
                out += u'\'';
                out += t.text;
                out += u'\'';
            }
            break;
        case Tok::DqString:
            out += textLiteral(unquoted(t.text, u'"'));
            break;
        case Tok::Bracket:
            out += identifier(t.text);
            break;
        case Tok::Hash: {
            const auto date = platform::jet::parseLiteralDate(t.text.toString());
            if (!date)
                throw syntaxError(QStringLiteral("date"), sql);
            out += timestampLiteral(*date);
            break;
        }
        case Tok::Punct:
            translatePunct(t, out);
            break;
        case Tok::Number:
            out += t.text;
            // Jet reads a number with a point or an exponent as a double, as the file
            // does; PostgreSQL would read it as numeric and divide it to 16 digits.
            if ((t.text.contains(u'.') || t.text.contains(u'e') || t.text.contains(u'E')) && isPlainDecimal(t.text))
                out += QStringLiteral("::float8");
            break;
        case Tok::Space:
            out += t.text;
            break;
        }
    }
    nulls.end(out);
    return out;
}

} // namespace data::postgres
