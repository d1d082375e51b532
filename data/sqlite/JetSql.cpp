#include "data/sqlite/JetSql.h"

#include "data/JetTokens.h"
#include "platform/Conversions.h"
#include "data/sqlite/Database.h"
#include "data/sqlite/JetFunctions.h"
#include "data/StoredFormat.h"

#include <cstring>
#include <limits>
#include <string_view>

namespace platform::jet {

using namespace data::jet;

namespace {

QString storedText(const QVariant& date)
{
    if (date.typeId() == QMetaType::QDateTime)
        return data::stored::dateTimeText(date.toDateTime());
    return data::stored::dateText(date.toDate());
}

} // namespace

namespace {

// Puts Jet's text order on every ORDER BY term: a term also ends at ASC or DESC, the
// clause at LIMIT. A term that names its own collation keeps it.
struct JetTextOrder {
    struct Term {
        bool inTerm = false;
        bool collated = false;
    };
    static bool endsClause(const Token& t) { return isWord(t, "limit"); }
    static bool endsTerm(const Token& t) { return isWord(t, "asc") || isWord(t, "desc"); }
    static void see(const Token& t, Term& term)
    {
        term.inTerm = true;
        term.collated = term.collated || isWord(t, "collate");
    }
    static void close(const Term& term, QString& out)
    {
        if (!term.inTerm || term.collated)
            return;
        while (!out.isEmpty() && out.back().isSpace())
            out.chop(1);
        out += QStringLiteral(" COLLATE ") + QLatin1String(kJetCollation) + u' ';
    }
};
using OrderByTerms = data::jet::OrderByTerms<JetTextOrder>;

} // namespace

namespace {

// A word: cdate("...") and CDate('...') become the date as stored, yes and no the
// numbers the file keeps; anything else stays as written. Answers the last token used.
size_t translateWord(const std::vector<Token>& tokens, size_t i, QString& out)
{
    const Token& t = tokens[i];
    const size_t next = nextSignificant(tokens, i + 1);
    const bool call = isPunct(tokens, next, u'(');
    if (isWord(t.text, u"cdate") && call) {
        const size_t arg = nextSignificant(tokens, next + 1);
        const size_t close = nextSignificant(tokens, arg + 1);
        if (arg < tokens.size() && (tokens[arg].type == Tok::String || tokens[arg].type == Tok::DqString)
            && isPunct(tokens, close, u')')) {
            // cdate("...") carries a date in the user's own short format, while
            // CDate('...') carries the fixed month-first text: read each as written,
            // so a day-first user's 05/03 stays the fifth of March.
            const auto date = tokens[arg].type == Tok::DqString ? parseLocaleDate(unquoted(tokens[arg].text, u'"'))
                                                                : parseCDate(unquoted(tokens[arg].text, u'\''));
            if (!date)
                throw DbError(QStringLiteral("Data type mismatch in criteria expression."));
            out += u'\'' + storedText(*date) + u'\'';   // digits and dashes: nothing to double
            return close;
        }
    }
    const bool member = isPunct(tokens, next, u'.') || (!out.isEmpty() && out.back() == u'.');
    if (!call && !member && (isWord(t.text, u"true") || isWord(t.text, u"yes")))
        out += u'1';
    else if (!call && !member && (isWord(t.text, u"false") || isWord(t.text, u"no")))
        out += u'0';
    else
        out += t.text;
    return i;
}


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
        case Tok::Word:
            i = translateWord(tokens, i, out);
            break;
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
            translatePunct(t, out);
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

namespace {

// The white space SQLite reads, narrower than Jet's.
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAsciiWordStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool isAsciiWordChar(char c) { return isAsciiWordStart(c) || isDigit(c) || c == '$'; }

// Reads "insert into T (a, b) values (" in plain ASCII names, the part of a
// ValuesInsert that translate() is given whole, once a shape.
class HeadReader {
public:
    explicit HeadReader(QByteArrayView text) : m_text(text) {}

    bool read()
    {
        if (!keyword("insert") || !keyword("into") || !name())
            return false;
        if (punct('(')) {
            do {
                if (!name())
                    return false;
            } while (punct(','));
            if (!punct(')'))
                return false;
        }
        return keyword("values") && punct('(');
    }
    qsizetype end() const { return m_at; }

private:
    void blanks()
    {
        while (m_at < m_text.size() && isBlank(m_text[m_at]))
            ++m_at;
    }
    bool keyword(const char* word)
    {
        blanks();
        const qsizetype length = qsizetype(std::strlen(word));
        if (m_text.size() - m_at < length || qstrnicmp(m_text.data() + m_at, word, length) != 0)
            return false;
        m_at += length;
        return m_at == m_text.size() || !isAsciiWordChar(m_text[m_at]);
    }
    bool name()
    {
        blanks();
        if (m_at < m_text.size() && m_text[m_at] == '[') {
            for (++m_at; m_at < m_text.size() && m_text[m_at] != ']'; ++m_at) {
                if (m_text[m_at] < ' ' || m_text[m_at] > '~')
                    return false;
            }
            return m_at++ < m_text.size();
        }
        if (m_at == m_text.size() || !isAsciiWordStart(m_text[m_at]))
            return false;
        while (m_at < m_text.size() && isAsciiWordChar(m_text[m_at]))
            ++m_at;
        return true;
    }
    bool punct(char c)
    {
        blanks();
        if (m_at == m_text.size() || m_text[m_at] != c)
            return false;
        ++m_at;
        return true;
    }

    QByteArrayView m_text;
    qsizetype m_at = 0;
};

} // namespace

bool ValuesInsert::read(const QString& jetSql)
{
    m_text = jetSql.toUtf8();
    m_kinds.resize(0);
    m_values.clear();
    // The head is read by its bytes alone, so one the same as the last is the same head.
    if (!m_lastHead.isEmpty() && m_text.startsWith(m_lastHead)) {
        m_head = m_lastHead.size();
    } else {
        HeadReader head(m_text);
        if (!head.read())
            return false;
        m_head = head.end();
        m_lastHead = m_text.first(m_head);
    }
    const qsizetype n = m_text.size();
    qsizetype i = m_head;
    size_t width = 0;      // the first row's number of values, which every row must have
    size_t rowStart = 0;   // the first value of the row being read
    for (;;) {
        while (i < n && isBlank(m_text[i]))
            ++i;
        if (!readValue(i))
            return false;
        while (i < n && isBlank(m_text[i]))
            ++i;
        if (i < n && m_text[i] == ',') {
            ++i;
            continue;
        }
        if (i == n || m_text[i] != ')')
            return false;
        // The row's end: a batch of rows (an import's, a copy's) goes on with ",(".
        const size_t values = m_values.size() - rowStart;
        if (width == 0)
            width = values;
        else if (values != width)
            return false;   // rows of other lengths: SQLite's own word on them
        rowStart = m_values.size();
        for (++i; i < n && isBlank(m_text[i]); ++i) {
        }
        if (i == n)
            return true;
        if (m_text[i] != ',')
            return false;
        for (++i; i < n && isBlank(m_text[i]); ++i) {
        }
        if (i == n || m_text[i] != '(')
            return false;
        ++i;
        m_kinds += kRowBreak;
    }
}

bool ValuesInsert::readValue(qsizetype& i)
{
    const qsizetype n = m_text.size();
    if (i == n)
        return false;
    const char c = m_text[i];
    if (c == '\'' || c == '"') {
        Value value{Kind::Text, 0, 0, 0};
        if (!readQuoted(i, c, value))
            return false;
        m_values.push_back(value);
        m_kinds += char(Kind::Text);
        return true;
    }
    if (c == '#') {
        const qsizetype close = m_text.indexOf('#', i + 1);
        if (close < 0 || !readDate(i, i + 1, close))
            return false;
        i = close + 1;
        return true;
    }
    if (c == '-' || c == '.' || isDigit(c))
        return readNumber(i);
    // CDate('...') of a date in one of the plain forms; cdate("...") is read in the
    // user's own date format first, and goes the ordinary way.
    const qsizetype start = i;
    if (n - i < 5 || qstrnicmp(m_text.constData() + i, "cdate", 5) != 0)
        return false;
    i += 5;
    while (i < n && isBlank(m_text[i]))
        ++i;
    if (i == n || m_text[i] != '(')
        return false;
    for (++i; i < n && isBlank(m_text[i]); ++i) {
    }
    if (i == n || m_text[i] != '\'')
        return false;
    const qsizetype open = i + 1;
    const qsizetype close = m_text.indexOf('\'', open);
    if (close < 0)
        return false;
    for (i = close + 1; i < n && isBlank(m_text[i]); ++i) {
    }
    if (i == n || m_text[i] != ')' || !readDate(start, open, close))
        return false;
    ++i;
    return true;
}

bool ValuesInsert::readQuoted(qsizetype& i, char quote, Value& value)
{
    // Doubled quotes made single in place: the text only ever gets shorter.
    char* text = m_text.data();
    const qsizetype n = m_text.size();
    const qsizetype start = i + 1;
    qsizetype out = start;
    for (qsizetype at = start; at < n; ++at) {
        if (text[at] == '\0')
            return false;   // SQLite ends its reading of the literal there
        if (text[at] == quote) {
            if (at + 1 < n && text[at + 1] == quote) {
                text[out++] = quote;
                ++at;
                continue;
            }
            value.offset = start;
            value.length = out - start;
            i = at + 1;
            return true;
        }
        text[out++] = text[at];
    }
    return false;
}

bool ValuesInsert::readDate(qsizetype start, qsizetype open, qsizetype close)
{
    // The stored text "yyyy-mm-dd" takes the place of the literal, which is longer:
    // at least "#m/d/yyyy#".
    const auto date = readPlainDate(std::string_view(m_text.constData() + open, size_t(close - open)));
    if (!date || close - open < 8)
        return false;
    char* text = m_text.data() + start;
    int year = 0;
    int month = 0;
    int day = 0;
    date->getDate(&year, &month, &day);
    for (int k = 3; k >= 0; --k, year /= 10)
        text[k] = char('0' + year % 10);
    text[4] = '-';
    text[5] = char('0' + month / 10);
    text[6] = char('0' + month % 10);
    text[7] = '-';
    text[8] = char('0' + day / 10);
    text[9] = char('0' + day % 10);
    m_values.push_back({Kind::Text, 0, start, 10});
    m_kinds += char(Kind::Text);
    return true;
}

bool ValuesInsert::readNumber(qsizetype& i)
{
    // SQLite's own reading of a number: digits, a point and more digits, an exponent.
    const char* text = m_text.constData();
    const qsizetype n = m_text.size();
    const qsizetype start = i;
    if (text[i] == '-')
        ++i;
    const qsizetype digits = i;
    while (i < n && isDigit(text[i]))
        ++i;
    const qsizetype integerEnd = i;
    bool real = false;
    if (i < n && text[i] == '.') {
        real = true;
        for (++i; i < n && isDigit(text[i]); ++i) {
        }
    }
    if (i - digits < (real ? 2 : 1))
        return false;   // a minus or a point alone
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        qsizetype at = i + 1;
        if (at < n && (text[at] == '+' || text[at] == '-'))
            ++at;
        if (at == n || !isDigit(text[at]))
            return false;
        for (i = at; i < n && isDigit(text[i]); ++i) {
        }
        real = true;
    }
    const bool negative = text[start] == '-';
    if (!real) {
        // An integer when it fits in 64 bits, -2^63 included; otherwise SQLite reads
        // the digits as a real.
        qsizetype first = digits;
        while (first + 1 < integerEnd && text[first] == '0')
            ++first;
        if (integerEnd - first <= 19) {
            quint64 magnitude = 0;
            for (qsizetype at = first; at < integerEnd; ++at)
                magnitude = magnitude * 10 + quint64(text[at] - '0');
            constexpr quint64 kLargest = quint64(std::numeric_limits<qint64>::max());
            if (magnitude <= kLargest || (negative && magnitude == kLargest + 1)) {
                const qint64 value = magnitude <= kLargest
                    ? (negative ? -qint64(magnitude) : qint64(magnitude))
                    : std::numeric_limits<qint64>::min();
                m_values.push_back({Kind::Integer, value, 0, 0});
                m_kinds += char(Kind::Integer);
                return true;
            }
        }
    }
    m_values.push_back({Kind::Real, 0, start, i - start});
    m_kinds += char(Kind::Real);
    return true;
}

QString ValuesInsert::sqliteShape() const
{
    QString sql = translate(QString::fromLatin1(head()));
    sql.reserve(sql.size() + m_kinds.size() * 16);
    bool first = true;
    for (const char kind : m_kinds) {
        if (kind == kRowBreak) {
            sql += QStringLiteral("),(");
            first = true;
            continue;
        }
        if (!first)
            sql += u',';
        first = false;
        sql += kind == char(Kind::Real) ? QStringLiteral("CAST(? AS REAL)") : QStringLiteral("?");
    }
    sql += u')';
    return sql;
}

} // namespace platform::jet
