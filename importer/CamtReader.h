#pragma once
// The ISO 20022 account statement reader (camt.053, version 02 and later): one row per
// booked entry (Ntry) with its amount, credit or debit, booking date (the value date when
// there is none), the bank's reference (AcctSvcrRef, else NtryRef) and a description
// from the counterparty's name and the remittance text. The closing balance (CLBD) and
// the account's IBAN and currency come from the statement. Pending entries are left out
// with a note: they come again booked in a later statement.

#include "importer/Statement.h"

#include <QByteArray>

namespace importer {

Statement readCamt(const QByteArray& bytes, const ReadOptions& options = {});

} // namespace importer
