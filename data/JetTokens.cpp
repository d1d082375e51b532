#include "data/JetTokens.h"

namespace data::jet {

namespace {

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

} // namespace

platform::DbError syntaxError(const QString& what, const QString& sql)
{
    return platform::DbError(QStringLiteral("Syntax error in %1 in query expression '%2'.").arg(what, sql));
}

platform::DbError parameterError()
{
    return platform::DbError(QStringLiteral("No value given for one or more required parameters."));
}

bool isParameterMark(QStringView punct)
{
    return punct == u'?' || punct == u':' || punct == u'@' || punct == u'$';
}

QString unquoted(QStringView inner, QChar quote)
{
    QString out = inner.toString();
    if (inner.contains(quote))
        out.replace(QString(2, quote), QString(quote));
    return out;
}

QString quoted(const QString& text, QChar quote)
{
    QString out = text;
    out.replace(quote, QString(2, quote));
    return quote + out + quote;
}

bool isWord(QStringView text, QStringView keyword)
{
    // Most words are not the keyword: their length says so.
    return text.size() == keyword.size() && text.compare(keyword, Qt::CaseInsensitive) == 0;
}

bool isWord(const Token& t, const char* keyword)
{
    return t.type == Tok::Word && t.text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

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

void translatePunct(const Token& t, QString& out)
{
    if (isParameterMark(t.text))
        throw parameterError();
    if (!out.isEmpty() && ((t.text.front() == u'-' && out.back() == u'-') || (t.text.front() == u'*' && out.back() == u'/')))
        out += u' ';
    if (t.text.front() == u'&')
        out += QStringLiteral("||");
    else
        out += t.text;
}

} // namespace data::jet
