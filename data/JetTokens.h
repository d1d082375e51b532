#pragma once
// The Jet SQL the windows write, read as tokens. Each back end's translation walks the
// same tokens, so a quote, a bracket or a date literal means the same on a file and on
// a server, and neither mistakes what is inside one for syntax.

#include "data/LedgerProblem.h"

#include <QString>
#include <QStringView>
#include <vector>

namespace data::jet {

// Jet knows no comments, so there is no comment token: "--" is two minus signs.
enum class Tok { Space, Word, Number, String, DqString, Bracket, Hash, Punct };

struct Token {
    Tok type;
    // The token's text; for String/DqString/Bracket/Hash the inner text as written,
    // a doubled quote still doubled. A view into the statement: no copies.
    QStringView text;
};

// The statement's tokens, every character in one. Throws DbError for an unterminated
// string, name or date literal.
std::vector<Token> tokenize(const QString& sql);

// Jet's message for a literal or name it cannot read.
platform::DbError syntaxError(const QString& what, const QString& sql);

// Jet's message for a parameter ("?", ":name", "@name", "$name"): no statement here
// is given values for one.
platform::DbError parameterError();
// A punctuation mark as both translations write it: Jet's & joins texts (as ||), a
// parameter mark is refused, and "-" "-" or "/" "*" are kept apart, since they open a
// comment in SQL but not in Jet (which reads 5--3 as 8): nothing after them is dropped.
void translatePunct(const Token& t, QString& out);
bool isParameterMark(QStringView punct);

// The inner text of a quoted run with its doubled quotes made single.
QString unquoted(QStringView inner, QChar quote);
// The text between quotes, with those inside doubled.
QString quoted(const QString& text, QChar quote);

// Whether a word is the keyword, in any case.
bool isWord(QStringView text, QStringView keyword);
bool isWord(const Token& token, const char* keyword);

// Index of the next token that is not space, or tokens.size().
size_t nextSignificant(const std::vector<Token>& tokens, size_t from);
bool isPunct(const std::vector<Token>& tokens, size_t i, QChar c);

// Walks a statement's ORDER BY terms token by token, for a translation that adds
// something to each term. A term ends at a comma, or where its parenthesis, the
// statement or the text ends; the clause ends at a word Rule::endsClause names. Rule
// says what else ends a term (endsTerm), what a token of the term tells of it (see),
// and writes what the term needs once it has ended (close, given the text so far).
template <class Rule>
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
            m_levels.push_back({m_depth, {}});
        }
        const bool atLevel = !m_levels.empty() && m_levels.back().depth == m_depth;
        if (atLevel && Rule::endsClause(t)) {
            endTerm(out);
            m_levels.pop_back();
        } else if (atLevel && (isPunct(tokens, i, u',') || isPunct(tokens, i, u')') || isPunct(tokens, i, u';')
                               || Rule::endsTerm(t))) {
            endTerm(out);
        } else if (atLevel) {
            Rule::see(t, m_levels.back().term);
        }
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
    struct Level {
        int depth;
        typename Rule::Term term;
    };

    void endTerm(QString& out)
    {
        Level& level = m_levels.back();
        Rule::close(level.term, out);
        level.term = {};
    }

    std::vector<Level> m_levels;
    int m_depth = 0;
    bool m_afterBy = false;
};

} // namespace data::jet
