#pragma once
// The server ledger's figures (--server-only): the same ledger copied onto a throwaway
// PostgreSQL server of the bench's own, on its Unix socket.

#include <functional>

namespace bench {

// Measures the ledger in the data folder (of `rows` transactions) on the server: its
// copy there, start-up to a filled list, single changes with their undo step, a change
// on another connection up to this desktop's reloaded list, the report's copy. Prints
// the figures as the other measures; false when the server could not be used.
// `report` prints one measure; `peak` resets and reads the peak memory.
bool measureServer(int rows, int runs, const std::function<void(const char*, int, double)>& report,
                   const std::function<void()>& resetPeak);

} // namespace bench
