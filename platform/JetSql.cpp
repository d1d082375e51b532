#include "platform/JetSql.h"

#include "platform/Conversions.h"
#include "platform/Database.h"
#include "platform/JetFunctions.h"
#include "platform/StoredFormat.h"

#include <QRegularExpression>

namespace platform::jet {

namespace {

// Jet knows no comments, so there is no comment token: "--" is two minus signs.
enum class Tok { Space, Word, Number, String, DqString, Bracket, Hash, Punct };

struct Token {
    Tok type;
    // The token's text; for String/DqString/Bracket/Hash the inner text as written,
    // a doubled quote still doubled. A view into the statement: no copies.
    QStringView text;
};

DbError syntaxError(const QString& what, const QString& sql)
{
    return DbError(QStringLiteral("Syntax error in %1 in query expression '%2'.").arg(what, sql));
}

bool isWordStart(QChar c) { return c.isLetter() || c == u'_'; }
bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$'; }

// Reads a quoted run that ends at `close`, in which a doubled close stands for one.
QStringView readQuoted(const QString& sql, qsizetype& i, QChar close, bool doubling, const QString& what)
{
    const qsizetype start = ++i;
    for (; i < sql.size(); ++i) {
        if (sql[i] == close) {
            if (doubling && i + 1 < sql.size() && sql[i + 1] == close) {
                ++i;
                continue;
            }
            return QStringView(sql).mid(start, i++ - start);
        }
    }
    throw syntaxError(what, sql);
}

// The inner text of a quoted run with its doubled quotes made single.
QString unquoted(QStringView inner, QChar quote)
{
    QString out = inner.toString();
    if (inner.contains(quote))
        out.replace(QString(2, quote), QString(quote));
    return out;
}

// Whether a word is the keyword, in any case. Most words are not: their length says so.
bool isWord(QStringView text, QStringView keyword)
{
    return text.size() == keyword.size() && text.compare(keyword, Qt::CaseInsensitive) == 0;
}

std::vector<Token> tokenize(const QString& sql)
{
    std::vector<Token> tokens;
    tokens.reserve(64);
    const QStringView view(sql);
    qsizetype i = 0;
    const qsizetype n = sql.size();
    while (i < n) {
        const QChar c = sql[i];
        const qsizetype start = i;
        if (c.isSpace()) {
            while (i < n && sql[i].isSpace())
                ++i;
            tokens.push_back({Tok::Space, view.mid(start, i - start)});
        } else if (isWordStart(c)) {
            while (i < n && isWordChar(sql[i]))
                ++i;
            tokens.push_back({Tok::Word, view.mid(start, i - start)});
        } else if (c.isDigit() || (c == u'.' && i + 1 < n && sql[i + 1].isDigit())) {
            while (i < n && (sql[i].isDigit() || sql[i] == u'.'))
                ++i;
            if (i < n && (sql[i] == u'e' || sql[i] == u'E')) {
                qsizetype j = i + 1;
                if (j < n && (sql[j] == u'+' || sql[j] == u'-'))
                    ++j;
                if (j < n && sql[j].isDigit()) {
                    i = j;
                    while (i < n && sql[i].isDigit())
                        ++i;
                }
            }
            // Letters run on into the number's token ("5true", "1e5yes"): a word is
            // only a word on its own, and the database refuses the whole as it stands.
            while (i < n && isWordChar(sql[i]))
                ++i;
            tokens.push_back({Tok::Number, view.mid(start, i - start)});
        } else if (c == u'\'') {
            tokens.push_back({Tok::String, readQuoted(sql, i, u'\'', true, QStringLiteral("string"))});
        } else if (c == u'"') {
            tokens.push_back({Tok::DqString, readQuoted(sql, i, u'"', true, QStringLiteral("string"))});
        } else if (c == u'[') {
            tokens.push_back({Tok::Bracket, readQuoted(sql, i, u']', false, QStringLiteral("name"))});
        } else if (c == u'#') {
            tokens.push_back({Tok::Hash, readQuoted(sql, i, u'#', false, QStringLiteral("date"))});
        } else {
            ++i;
            tokens.push_back({Tok::Punct, view.mid(start, 1)});
        }
    }
    return tokens;
}

QString quoted(const QString& text, QChar quote)
{
    QString out = text;
    out.replace(quote, QString(2, quote));
    return quote + out + quote;
}

QString storedText(const QVariant& date)
{
    if (date.typeId() == QMetaType::QDateTime)
        return stored::dateTimeText(date.toDateTime());
    return stored::dateText(date.toDate());
}

// Index of the next token that is not space, or tokens.size().
size_t nextSignificant(const std::vector<Token>& tokens, size_t from)
{
    while (from < tokens.size() && tokens[from].type == Tok::Space)
        ++from;
    return from;
}

bool isPunct(const std::vector<Token>& tokens, size_t i, QChar c)
{
    return i < tokens.size() && tokens[i].type == Tok::Punct && tokens[i].text.front() == c;
}

int twoDigitYear(int yy) { return yy < 30 ? 2000 + yy : 1900 + yy; }

std::optional<QTime> parseTime(const QString& text)
{
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?\\s*([AaPp][Mm])?$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    int h = m.captured(1).toInt();
    const QString ampm = m.captured(4).toUpper();
    if (!ampm.isEmpty()) {
        if (h < 1 || h > 12)
            return std::nullopt;
        h = (h % 12) + (ampm == u"PM" ? 12 : 0);
    }
    const QTime t(h, m.captured(2).toInt(), m.captured(3).isEmpty() ? 0 : m.captured(3).toInt());
    if (!t.isValid())
        return std::nullopt;
    return t;
}

std::optional<QVariant> dateWithTime(const QDate& date, const QString& timeText)
{
    if (!date.isValid())
        return std::nullopt;
    if (timeText.trimmed().isEmpty())
        return QVariant(date);
    const auto time = parseTime(timeText);
    if (!time)
        return std::nullopt;
    if (*time == QTime(0, 0))
        return QVariant(date);
    return QVariant(QDateTime(date, *time, Qt::UTC));
}

} // namespace

namespace {

// A run of 1 to maxDigits digits at i, as a number; -1 when there is none.
int digitsAt(QStringView text, qsizetype& i, int maxDigits)
{
    int value = 0;
    int count = 0;
    for (; i < text.size() && count < maxDigits && text[i] >= u'0' && text[i] <= u'9'; ++i, ++count)
        value = value * 10 + (text[i].unicode() - u'0');
    return count > 0 ? value : -1;
}

// The two forms this program's own statements carry, month/day/year and
// year-month-day, read without the pattern engine: a report writes one per row.
std::optional<QDate> plainDate(QStringView text)
{
    qsizetype i = 0;
    const int first = digitsAt(text, i, 4);
    if (first < 0 || i >= text.size() || (text[i] != u'/' && text[i] != u'-'))
        return std::nullopt;
    const QChar separator = text[i];
    const bool iso = separator == u'-';
    if ((iso && i != 4) || (!iso && i > 2))
        return std::nullopt;
    ++i;
    const int second = digitsAt(text, i, 2);
    if (second < 0 || i >= text.size() || text[i] != separator)
        return std::nullopt;
    const qsizetype yearStart = ++i;
    const int third = digitsAt(text, i, iso ? 2 : 4);
    if (third < 0 || i != text.size() || (!iso && i - yearStart != 4))
        return std::nullopt;
    const QDate date = iso ? QDate(first, second, third) : QDate(third, first, second);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

} // namespace

std::optional<QVariant> parseLiteralDate(const QString& input)
{
    if (const auto date = plainDate(input))
        return QVariant(*date);
    const QString text = input.trimmed();
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})(.*)$"));
    static const QRegularExpression us(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4}|\\d{2})(.*)$"));
    if (const auto m = iso.match(text); m.hasMatch()) {
        const QString rest = m.captured(4);
        if (!rest.isEmpty() && !rest[0].isSpace())
            return std::nullopt;
        return dateWithTime(QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()), rest);
    }
    if (const auto m = us.match(text); m.hasMatch()) {
        const QString rest = m.captured(4);
        if (!rest.isEmpty() && !rest[0].isSpace())
            return std::nullopt;
        int year = m.captured(3).toInt();
        if (m.captured(3).size() == 2)
            year = twoDigitYear(year);
        return dateWithTime(QDate(year, m.captured(1).toInt(), m.captured(2).toInt()), rest);
    }
    return std::nullopt;
}

namespace {

// The patterns a locale's date format is read with: whole years first, and day and
// month also without their leading zero ("5.3.2021" as well as "05.03.2021").
QStringList readingPatterns(const QString& format)
{
    QStringList patterns;
    for (const QString& pattern : {wholeYearFormat(format), format}) {
        QString loose = pattern;
        loose.replace(QStringLiteral("dd"), QStringLiteral("d")).replace(QStringLiteral("MM"), QStringLiteral("M"));
        for (const QString& p : {pattern, loose})
            if (!patterns.contains(p))
                patterns << p;
    }
    return patterns;
}

std::optional<QVariant> localeDate(const QString& input, const QLocale& locale)
{
    const QString text = input.trimmed();
    for (const auto format : {QLocale::ShortFormat, QLocale::LongFormat}) {
        for (const QString& pattern : readingPatterns(locale.dateFormat(format))) {
            QDate date = locale.toDate(text, pattern);
            if (!date.isValid())
                continue;
            if (!pattern.contains(QStringLiteral("yyyy")))
                date = QDate(twoDigitYear(date.year() % 100), date.month(), date.day());
            if (date.isValid())
                return QVariant(date);
        }
    }
    for (const QString& pattern : readingPatterns(locale.dateTimeFormat(QLocale::ShortFormat))) {
        const QDateTime dateTime = locale.toDateTime(text, pattern);
        if (dateTime.isValid())
            return dateWithTime(dateTime.date(), dateTime.time().toString(QStringLiteral("HH:mm:ss")));
    }
    return std::nullopt;
}

} // namespace

std::optional<QVariant> parseCDate(const QString& input, const QLocale& locale)
{
    if (auto literal = parseLiteralDate(input))
        return literal;
    return localeDate(input, locale);
}

std::optional<QVariant> parseLocaleDate(const QString& input, const QLocale& locale)
{
    if (auto date = localeDate(input, locale))
        return date;
    return parseLiteralDate(input);
}

namespace {

bool isWord(const Token& t, const char* word)
{
    return t.type == Tok::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

// Puts Jet's text order on every ORDER BY term: the term ends at a comma, at ASC or
// DESC, at LIMIT, or where its parenthesis, the statement or the text ends. A term that names
// its own collation keeps it.
class OrderByTerms {
public:
    // Called before token i is written to out.
    void before(const std::vector<Token>& tokens, size_t i, QString& out)
    {
        const Token& t = tokens[i];
        if (t.type == Tok::Space)
            return;
        if (m_afterBy) {
            m_afterBy = false;
            m_levels.push_back({m_depth, false, false});
        }
        const bool atLevel = !m_levels.empty() && m_levels.back().depth == m_depth;
        if (atLevel && isWord(t, "limit")) {
            endTerm(out);
            m_levels.pop_back();
        } else if (atLevel && (isPunct(tokens, i, u',') || isPunct(tokens, i, u')') || isPunct(tokens, i, u';')
                               || isWord(t, "asc") || isWord(t, "desc")))
            endTerm(out);
        else if (atLevel)
            m_levels.back().inTerm = true;
        if (atLevel && isWord(t, "collate"))
            m_levels.back().collated = true;
        if (isPunct(tokens, i, u'(')) {
            ++m_depth;
        } else if (isPunct(tokens, i, u')') && m_depth > 0) {
            --m_depth;
            while (!m_levels.empty() && m_levels.back().depth > m_depth)
                m_levels.pop_back();
        }
        if (isWord(t, "by") && i > 0) {
            size_t before = i;
            while (before > 0 && tokens[before - 1].type == Tok::Space)
                --before;
            m_afterBy = before > 0 && isWord(tokens[before - 1], "order");
        }
    }

    void end(QString& out)
    {
        for (; !m_levels.empty(); m_levels.pop_back())
            endTerm(out);
    }

private:
    struct Level { int depth; bool collated; bool inTerm; };

    void endTerm(QString& out)
    {
        Level& level = m_levels.back();
        if (level.inTerm && !level.collated) {
            while (!out.isEmpty() && out.back().isSpace())
                out.chop(1);
            out += QStringLiteral(" COLLATE ") + QLatin1String(kJetCollation) + u' ';
        }
        level = {level.depth, false, false};
    }

    std::vector<Level> m_levels;
    int m_depth = 0;
    bool m_afterBy = false;
};

} // namespace

QString translate(const QString& sql)
{
    const std::vector<Token> tokens = tokenize(sql);
    QString out;
    out.reserve(sql.size() + 16);
    OrderByTerms order;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        order.before(tokens, i, out);
        switch (t.type) {
        case Tok::Word: {
            const size_t next = nextSignificant(tokens, i + 1);
            const bool call = isPunct(tokens, next, u'(');
            if (isWord(t.text, u"cdate") && call) {
                const size_t arg = nextSignificant(tokens, next + 1);
                const size_t close = nextSignificant(tokens, arg + 1);
                if (arg < tokens.size()
                    && (tokens[arg].type == Tok::String || tokens[arg].type == Tok::DqString)
                    && isPunct(tokens, close, u')')) {
                    // cdate("...") carries a date in the user's own short format, while
                    // CDate('...') carries the fixed month-first text: read each as written,
                    // so a day-first user's 05/03 stays the fifth of March.
                    const auto date = tokens[arg].type == Tok::DqString
                        ? parseLocaleDate(unquoted(tokens[arg].text, u'"'))
                        : parseCDate(unquoted(tokens[arg].text, u'\''));
                    if (!date)
                        throw DbError(QStringLiteral("Data type mismatch in criteria expression."));
                    out += u'\'' + storedText(*date) + u'\'';   // digits and dashes: nothing to double
                    i = close;
                    break;
                }
            }
            const bool member = isPunct(tokens, nextSignificant(tokens, i + 1), u'.')
                || (!out.isEmpty() && out.back() == u'.');
            if (!call && !member) {
                if (isWord(t.text, u"true")
                    || isWord(t.text, u"yes")) {
                    out += u'1';
                    break;
                }
                if (isWord(t.text, u"false")
                    || isWord(t.text, u"no")) {
                    out += u'0';
                    break;
                }
            }
            out += t.text;
            break;
        }
        case Tok::String:
            // Written as SQLite writes it already: quotes doubled inside single quotes.
            out += u'\'';
            out += t.text;
            out += u'\'';
            break;
        case Tok::DqString:
            out += quoted(unquoted(t.text, u'"'), u'\'');
            break;
        case Tok::Bracket:
            out += quoted(t.text.toString(), u'"');
            break;
        case Tok::Hash: {
            const auto date = parseLiteralDate(t.text.toString());
            if (!date)
                throw syntaxError(QStringLiteral("date"), sql);
            out += u'\'' + storedText(*date) + u'\'';   // digits and dashes: nothing to double
            break;
        }
        case Tok::Punct:
            // The database would read these as parameters and quietly give Null for them.
            if (t.text == u'?' || t.text == u':' || t.text == u'@' || t.text == u'$')
                throw DbError(QStringLiteral("No value given for one or more required parameters."));
            // "--" and "/*" open comments in SQLite but not in Jet: keep them apart so
            // nothing after them is silently dropped (Jet reads 5--3 as 8).
            if (!out.isEmpty()
                && ((t.text.front() == u'-' && out.back() == u'-') || (t.text.front() == u'*' && out.back() == u'/')))
                out += u' ';
            if (t.text.front() == u'&')
                out += QStringLiteral("||");
            else
                out += t.text;
            break;
        case Tok::Space:
        case Tok::Number:
            out += t.text;
            break;
        }
    }
    order.end(out);
    return out;
}

} // namespace platform::jet
