#pragma once
// The few Jet forms the server back end's own tests send, written in PostgreSQL's
// dialect, until the full translation of the windows' statements takes its place.

#include <QString>

namespace data::postgres {

// [Name] -> "name", "text" -> 'text', #mm/dd/yyyy# and CDate('mm/dd/yyyy') -> a
// timestamp, True/Yes/False/No -> true/false, & -> ||. Throws DbError for an
// unterminated literal or a date literal that names no date.
QString translateStandIn(const QString& jetSql);

} // namespace data::postgres
