#pragma once
// What every reader promises whatever the bytes: a refused file has no rows; every row
// is readable or says why, with its line; a readable row's day and amount are ones the
// ledger keeps as read.

#include "importer/Amounts.h"
#include "importer/Statement.h"
#include "platform/LedgerDays.h"

#include <cstdlib>

inline void checkStatement(const importer::Statement& s)
{
    if (!s.refusal.isEmpty() && !s.rows.isEmpty())
        std::abort();
    for (const importer::Row& row : s.rows) {
        if (row.readable() && (!row.date.isValid() || row.cents >= importer::kMaxCents || row.cents <= -importer::kMaxCents))
            std::abort();
        if (!row.readable() && row.cents != 0)
            std::abort();
        if (row.readable() && (!platform::stored::isLedgerDay(row.date) || !importer::amountKeepingProblem(row.cents).isEmpty()))
            std::abort();
        (void)importer::centsText(row.cents);
    }
}

// What the one entry point adds: no text longer than the longest kept.
inline void checkTextsBounded(const importer::Statement& s)
{
    for (const importer::Row& row : s.rows)
        if (row.description.size() > importer::kMaxTextLength || row.reference.size() > importer::kMaxTextLength)
            std::abort();
}
