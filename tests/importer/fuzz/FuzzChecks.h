#pragma once
// What every reader promises whatever the bytes: a refused file has no rows; every row
// is readable or says why, with its line; amounts stay within the ledger's limit.

#include "importer/Statement.h"

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
        (void)importer::centsText(row.cents);
    }
}
