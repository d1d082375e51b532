#pragma once
// What the user is told about the ledger file itself: the one place for those texts.

#include "platform/Database.h"

#include <QString>

namespace data {

// The message for a problem with the ledger file: what is wrong, where the file is,
// and that Tallyfold leaves it as it is. detail is the database's own words.
QString problemMessage(platform::FileProblem problem, const QString& file, const QString& detail);

// The note the main window's caption carries while the ledger has a problem ("" when
// it has none): the list shows what could be read, or nothing.
QString problemNote(platform::FileProblem problem);

} // namespace data
