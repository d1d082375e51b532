#pragma once
// What Jet SQL needs of SQLite beyond its own functions, registered on every connection
// to the ledger: the First and Last aggregates, CDate for values that are not literals,
// Chr (how a text holding a NUL is written into a statement), and the text order Jet sorts by (see kJetCollation).

struct sqlite3;

namespace platform::jet {

// The collation the translator puts on every ORDER BY term: text ordered as the user's
// locale orders it, ignoring case ("apple, bank, Cash, Édith, Zed" in English), as Jet
// does. It lives in the program, never in the file, so other SQLite tools still read
// the ledger.
inline constexpr const char* kJetCollation = "JETTEXT";

// Registers the functions and the collation on one connection. Each connection gets
// its own collator, so connections used on different threads share nothing.
void registerFunctions(sqlite3* db);

} // namespace platform::jet
