#pragma once
// Translation of the Jet SQL the windows send into PostgreSQL's dialect, reading the
// same tokens as the file's translation so that a statement means the same on both:
//   #mm/dd/yyyy#, CDate('...'), cdate("...") with a literal
//                           -> TIMESTAMP '2021-03-05 00:00:00' (read as the file reads it)
//   "text", 'text'          -> 'text', or E'...' when it holds a backslash
//   [Name]                  -> "name"             (folded as PostgreSQL folds a bare name)
//   True/False, Yes/No      -> true/false         (whole words only, not names after a dot)
//   a number with a point or an exponent
//                           -> its double          (Jet's and the file's arithmetic, not numeric's)
//   0/1 for a yes/no column in an insert's values or an update's set
//                           -> false/true          (PostgreSQL will not take a number there)
//   a & b                   -> a || b              (Null joined gives Null, as on the file)
//   --, /*                  -> - -, / *            (Jet has no comments)
// ORDER BY needs nothing: the sorted text columns carry the tallyfold_jet collation, and
// First() and Last() are aggregates of the ledger's own (data/postgres/functions.sql).

#include <QString>

namespace data::postgres {

// Throws DbError as the file's translation does (an unterminated string, name or date
// literal, a date literal that names no date, a parameter), and for a text holding the
// character Chr(0), which a server's text cannot hold: such a statement is refused
// whole rather than stored cut short.
QString translate(const QString& jetSql);

// The message a statement holding Chr(0) is refused with.
QString nulRefusalMessage();

} // namespace data::postgres
