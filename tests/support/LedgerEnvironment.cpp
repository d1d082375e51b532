#include "tests/support/LedgerEnvironment.h"

#include "currency/CurrencyChoice.h"
#include "data/Ledger.h"

namespace testing_support {

LedgerEnvironment::LedgerEnvironment()
{
    data::releaseConnection();
    currency::CurrencyChoice::instance().unload();
}

LedgerEnvironment::~LedgerEnvironment()
{
    data::releaseConnection();
    currency::CurrencyChoice::instance().unload();
}

void LedgerEnvironment::openLedger()
{
    placeLedger();
    data::createConnection();
    data::connection().Open(data::connectionString());
}

} // namespace testing_support
