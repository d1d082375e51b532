#pragma once
// A statement file read as the statements of its accounts: one for most files, one per
// account for a file that holds several (each read by itself; see AccountSplit.h).

#include "importer/Statement.h"
#include "importing/AccountChoice.h"

#include <QList>
#include <QString>

namespace importing {

struct AccountStatement {
    importer::Statement statement;
    StatementAccount account;   // what it says of its account, with the file's name
};

// Reads `path` as importer::readStatementFile does (a file it refuses gives one refused
// statement), then parts a file of several accounts.
QList<AccountStatement> readAccountStatements(const QString& path, const importer::ReadOptions& options = {});

} // namespace importing
