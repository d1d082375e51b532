#pragma once
// A whole ledger copied between a file and a server, in either direction: every account,
// transaction and import key with its own number, the auto-number counters and the undo
// history, so that undo and redo on the copy do what they would have on the original. A
// server ledger's portable backup is its copy in a file.

#include <QString>

namespace data {

// What a --copy-ledger side names: "file" (the ledger in the data folder), a ledger
// file's path, or a server ledger's conninfo (keywords with "=", or a postgresql://
// address). The connection string for it.
QString copySideConnectionString(const QString& side);

struct CopyCount {
    qint64 accounts = 0, transactions = 0, importKeys = 0, steps = 0;
};

// Copies the ledger `from` names into `to` (connection strings). The target must hold no
// ledger yet: a file that does not exist (or has no bytes; it is made from the empty
// template), or a server database with no tables (it is made a ledger) or an empty
// ledger (no rows, no undo steps). Everything is written in one transaction: a copy that
// fails leaves a server ledger empty (a copy again goes ahead) and removes a file it
// made. Throws DbError (FileRefusal for a refused side) with the reason. A step of the
// undo history goes to a server as the copying desktop's own; from a server to a file,
// every desktop's steps go in the order they were made.
CopyCount copyLedger(const QString& from, const QString& to);

} // namespace data
