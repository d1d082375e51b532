#include "tests/support/LedgerEnvironment.h"

#include "currency/CurrencyChoice.h"
#include "data/Ledger.h"
#include "shell/Dialogs.h"

namespace testing_support {

LedgerEnvironment::LedgerEnvironment()
{
    data::setUserTeller(nullptr);
    data::releaseConnection();
    currency::CurrencyChoice::instance().unload();
}

LedgerEnvironment::~LedgerEnvironment()
{
    data::releaseConnection();
    data::setUserTeller(nullptr);
    currency::CurrencyChoice::instance().unload();
}

void LedgerEnvironment::openLedger()
{
    placeLedger();
    data::createConnection();
    data::connection().Open(data::connectionString());
}

void LedgerEnvironment::tellInMessageBoxes()
{
    data::setUserTeller(platform::tellInMessageBox);
}

} // namespace testing_support
