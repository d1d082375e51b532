#pragma once
// A statement imported into one account and then, by a slip, into another adds every
// row a second time: the keys that tell "already in the ledger" belong to the account.
// This finds that case before it is written, so the window can say so and a script
// refuse it.

#include "importing/ImportPlan.h"

#include <QString>

namespace importing {

// The name of the other account that already holds most of the plan's rows (rows the
// plan would add, stored there under the same import keys); "" when none does. Reads a
// sample of the rows when the statement is long. Throws as the connection's reads do.
QString accountHoldingMost(const ImportPlan& plan);

// What the user is told of it.
QString heldElsewhereText(const QString& otherAccount, const QString& account);

} // namespace importing
