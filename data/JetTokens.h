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

} // namespace data::jet
