#include "bench/ServerBench.h"

#include "bench/Timing.h"
#include "data/Connection.h"
#include "data/Ledger.h"
#include "data/LedgerCopy.h"
#include "data/Undo.h"
#include "main/Form1.h"
#include "output/ReportFill.h"
#include "shell/ErrorTrap.h"
#include "tests/support/PgServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace bench {

namespace {
testing_support::PgServer& server()
{
    static testing_support::PgServer running;
    return running;
}
} // namespace

bool measureServer(int rows, int runs, const std::function<void(const char*, int, double)>& report,
                   const std::function<void()>& resetPeak)
{
    if (!server().running()) {
        if (const QString error = server().start(); !error.isEmpty()) {
            std::fprintf(stderr, "bench: no server: %s\n", qPrintable(error));
            return false;
        }
    }
    const QString database = QStringLiteral("bench%1").arg(rows);
    if (const QString error = server().createDatabase(database); !error.isEmpty()) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(error));
        return false;
    }
    const QString conninfo = server().conninfo(database);
    try {
        report("server_copy_ledger", rows, timeMs([&] {
                   data::copyLedger(data::connectionString(), data::serverConnectionString(conninfo));
               }));
    } catch (const platform::AppError& e) {
        std::fprintf(stderr, "bench: the ledger was not copied: %s\n", qPrintable(e.description()));
        return false;
    }
    data::chooseLedger(conninfo, false);

    // Start-up to a filled list, as on a file.
    std::vector<double> startup;
    for (int run = 0; run < runs; ++run) {
        resetPeak();
        auto form = std::make_unique<mainwindow::Form1>();
        startup.push_back(timeMs([&] { form->Form_Load(); }));
        form.reset();
        data::releaseConnection();
    }
    report("server_startup_to_filled_list", rows, median(startup));

    // One add, edit or delete with its undo step, and the report's copy.
    {
        data::createConnection();
        data::connection().Open(data::connectionString());
        const QString changes[] = {
            QStringLiteral("insert into Transactions (TransactionDate,TransactionDescription,AccountID,WithdrawalAmount,"
                           "DepositAmount,Taxable) values (#03/05/2024#,'bench',3,12.5,0,1)"),
            QStringLiteral("update Transactions set TransactionDescription='edited',WithdrawalAmount=1 where "
                           "TransactionNumber=%1"),
            QStringLiteral("delete from Transactions where TransactionNumber=%1"),
        };
        const char* names[] = {"server_add_recorded", "server_edit_recorded", "server_delete_recorded"};
        for (int c = 0; c < 3; ++c) {
            std::vector<double> times;
            for (int i = 0; i < 100; ++i) {
                const QString sql = c == 0 ? changes[c] : changes[c].arg(1000 + 7 * i + c);
                times.push_back(timeMs([&] {
                    const data::UndoStep step(QStringLiteral("bench"));
                    data::connection().Execute(sql);
                }));
            }
            report(names[c], rows, median(times));
        }
        std::vector<double> fill;
        for (int run = 0; run < runs; ++run) {
            fill.push_back(timeMs([] {
                shell::ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("PushButton5_Click"));
                output::fillReportTable(trap);
            }));
        }
        report("server_report_fill", rows, median(fill));
        data::releaseConnection();
    }

    // Another desktop's change, from its commit to this desktop's reloaded list.
    {
        mainwindow::Form1 form;
        form.Form_Load();
        data::Connection other;
        other.Open(data::connectionString());
        std::vector<double> shown;
        for (int run = 0; run < runs; ++run) {
            const int before = form.reloads();
            QElapsedTimer timer;
            timer.start();
            other.Execute(QStringLiteral("update Transactions set TransactionDescription='theirs %1' where "
                                         "TransactionNumber=%2").arg(run).arg(500 + run));
            while (form.reloads() == before && timer.elapsed() < 30000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            shown.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        other.Close();
        report("server_change_shown_elsewhere", rows, median(shown));
    }
    data::releaseConnection();
    data::chooseLedger(QStringLiteral("file"), false);
    server().dropDatabase(database);
    return true;
}

} // namespace bench
