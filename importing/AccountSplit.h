#pragma once
// A statement file holding several accounts' statements (banks often send checking and
// savings in one OFX download; a CAMT.053 file may hold a Stmt per account) parted into
// one file's bytes per account. Each part is the whole file with the other accounts'
// statements blanked out, their line breaks kept: the reader reads it as the
// one-account file it now is, and every row keeps its line in the real file.

#include "importer/Statement.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace importing {

struct AccountPart {
    QString id;         // the account number or IBAN; "" when the file names none
    QString type;       // OFX ACCTTYPE ("CREDITCARD" for a card statement), CAMT Tp/Cd or Nm
    QByteArray bytes;   // the file as this account's statement alone
};

// One part per account, in the file's order; a single part holding `bytes` unchanged for
// a file of one account (or of a format with no accounts to tell apart: CSV, QIF).
QList<AccountPart> accountParts(const QByteArray& bytes, importer::Format format);

} // namespace importing
