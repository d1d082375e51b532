#pragma once
// What each statement row is known by once imported (the ImportKeys table: its forms
// are in data/StoredFormat.h). A bank's own id where the file gives one; otherwise a
// digest of the row with its occurrence number within the day, so that importing the
// same file again finds every row while two identical real rows (two coffees of the
// same price on the same day) stay two rows.

#include "importer/Statement.h"

#include <QString>
#include <QStringList>

namespace importing {

// The description as the digest sees it: case and runs of white space do not matter,
// as banks change both between downloads of the same statement.
QString normalisedDescription(const QString& description);

// One key for each of the statement's rows, in order; "" for a row that is not
// readable.
QStringList importKeys(const importer::Statement& statement);

// Whether a key names the bank's own id ("fitid:", "ref:"): such a key matches a
// stored one only with the same date and amount too, as some banks reuse ids.
bool isBankId(const QString& key);

} // namespace importing
