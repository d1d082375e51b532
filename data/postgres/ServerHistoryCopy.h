#pragma once
// A server ledger's undo history read whole and written from a copied ledger's, for
// the copy of a ledger between a file and a server (data/LedgerCopy.h).

#include "data/HistoryStep.h"
#include "data/postgres/Session.h"

#include <QString>
#include <vector>

namespace data::postgres {

// Every desktop's steps, in the order they were made.
std::vector<HistoryStep> readHistory(Session& session);

// Adds the steps above those there are, in the transaction pending on the session. A
// step that names no desktop (a file's) becomes `desktop`'s, so the desktop making the
// copy can undo it; one that names no role, that desktop's login role's. Throws DbError
// naming the step the server refuses; the caller rolls back.
void writeHistory(Session& session, const std::vector<HistoryStep>& steps, const QString& desktop);

} // namespace data::postgres
