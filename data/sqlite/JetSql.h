#pragma once
// Translation of the Jet SQL the windows send into SQLite SQL. A real tokenizer walks
// the text, so quotes, brackets and comments are never mistaken for syntax:
//   #mm/dd/yyyy#            -> '2021-03-05'        (Jet date literals are month first)
//   CDate('...'), cdate("...") with a literal -> the stored date text (a double-quoted
//                           text is read in the user's date format first)
//   --, /*                  -> - -, / *            (Jet has no comments)
//   "text"                  -> 'text'              (Jet strings may use double quotes)
//   [Name]                  -> "Name"
//   True/False, Yes/No      -> 1/0                 (whole words only, not names after a dot)
//   a & b                   -> a || b
//   ORDER BY x, y DESC      -> ORDER BY x COLLATE JETTEXT, y COLLATE JETTEXT DESC
//                              (text in Jet's order; numbers are not affected)
// First() and Last() stay as they are: the connection registers them as aggregates.

#include "data/JetDates.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QVariant>
#include <optional>
#include <vector>

namespace platform::jet {

// Throws DbError for an unterminated string, name or date literal, a date literal
// that names no date, or a parameter ("?", ":name", "@name", "$name"), which no
// statement here can be given a value for.
QString translate(const QString& jetSql);

// An insert of one row of plain values, "insert into T (a, b, ...) values (v1, v2, ...)",
// read as its shape and its values. Inserts of one shape differ only in their values,
// so the connection prepares each shape once and binds the values, which are exactly
// what SQLite would read from the literals:
//   digits alone             an integer; past 64 bits a real, read as SQLite reads it
//   other numbers            a real, from its text by SQLite's own conversion
//   a leading minus          the negative of the number after it, as SQLite gives it
//   'text', "text"           the text, its doubled quotes single
//   #mm/dd/yyyy#, CDate('mm/dd/yyyy'), and the same year-month-day
//                            the stored date text, as translate() writes it
// Several rows ("(...),(...)") are read alike when each has as many values as the
// first. Anything else (a word, an expression, a date in another form, rows of other
// lengths, a character SQLite would not read as the translation does) makes it no such
// insert, and the statement goes the ordinary way.
class ValuesInsert {
public:
    enum class Kind : char { Integer = 'i', Real = 'r', Text = 't' };
    static constexpr char kRowBreak = '/';
    struct Value {
        Kind kind;
        qint64 integer;     // Integer
        qsizetype offset;   // Real, Text: UTF-8 at offset in text()
        qsizetype length;
    };

    // Reads jetSql; false when it is not such an insert.
    bool read(const QString& jetSql);

    // What statements of one shape share: the text before the values, as written,
    // and one Kind letter a value, kRowBreak between rows.
    QByteArrayView head() const { return QByteArrayView(m_text.constData(), m_head); }
    QByteArrayView kinds() const { return QByteArrayView(m_kinds); }
    const std::vector<Value>& values() const { return m_values; }
    const char* text() const { return m_text.constData(); }

    // The shape as SQLite SQL: the head translated, a parameter for each value (a real
    // through CAST of its text, the conversion SQLite applies to a literal).
    QString sqliteShape() const;

private:
    bool readValue(qsizetype& i);
    bool readNumber(qsizetype& i);
    bool readQuoted(qsizetype& i, char quote, Value& value);
    bool readDate(qsizetype start, qsizetype open, qsizetype close);

    // The statement as UTF-8. A value whose text differs from its literal (doubled
    // quotes, a date) is rewritten in place over its literal, which is never shorter.
    QByteArray m_text;
    qsizetype m_head = 0;
    QByteArray m_lastHead;   // the head read last: inserts come in runs of one shape
    QByteArray m_kinds;
    std::vector<Value> m_values;
};

} // namespace platform::jet
