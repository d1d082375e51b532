#pragma once
// rptMain: the ledger report. One line per transaction (date, deposit, withdrawal,
// account, description) under a heading repeated on every page, and after the last line
// the two column totals and the balance. Its rows come from tblReport; the amount
// formats and the balance are set by the command that shows it.

#include "output/DataReport.h"

namespace output {

ReportDefinition rptMainDefinition();

class rptMain : public DataReport {
public:
    rptMain() : DataReport(rptMainDefinition()) {}
};

} // namespace output
