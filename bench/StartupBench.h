#pragma once
// Start-up as the user waits for it (--startup-only): the process started from outside
// up to its window shown with the list filled, libraries, ledger checks and all; and, in
// this process, the window's loading alone and a reload alone, for where the time goes.

#include <functional>

namespace bench {

// Times `runs` starts of tallyfold-startup-probe (beside the bench) on the ledger in
// the data folder (of `rows` transactions), after two starts that are not timed (they
// make the start-up backups of a ledger just written). Prints
// the figures as the other measures; false when the probe could not be run.
bool measureStartup(int rows, int runs, const std::function<void(const char*, int, double)>& report);

} // namespace bench
