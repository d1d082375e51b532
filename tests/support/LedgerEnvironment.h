#pragma once
// The test world of TestEnvironment for tests of the program's own windows and data:
// the shared connection and the cached currency choice are reset on both ends, and
// openLedger() opens the shared connection every window uses.

#include "tests/support/TestEnvironment.h"

namespace testing_support {

class LedgerEnvironment : public TestEnvironment {
public:
    LedgerEnvironment();
    ~LedgerEnvironment();

    // Puts the working file in place, as a first start would, and opens the shared
    // connection on it.
    void openLedger();
    // What the ledger layer finds by itself is told in the message boxes, as the main
    // window has it (until then nobody is told).
    void tellInMessageBoxes();
};

} // namespace testing_support
