// The main window's commands. Each runs its numbered steps under the error report
// and ends by reloading the list.
#include "main/Form1.h"

#include "currency/AmountFormat.h"
#include "currency/CurrencyChoice.h"
#include "currency/Form3.h"
#include "data/Ledger.h"
#include "data/LedgerMessages.h"
#include "data/StepNames.h"
#include "data/Undo.h"
#include "editor/Form2.h"
#include "main/LedgerStatements.h"
#include "main/PendingEvents.h"
#include "output/ReportFill.h"
#include "output/rptMain.h"
#include "platform/Conversions.h"
#include "shell/Dialogs.h"
#include "shell/ErrorTrap.h"
#include "shell/Maker.h"
#include "shell/MousePointer.h"

#include <QDate>

namespace mainwindow {

void Form1::PushButton1_Click()
{
    auto trap = trapFor("PushButton1_Click");
    if (trap.test(100, [this] { return ListView1->count() == 0; }))
        return;
    editor::Form2 form2(this);
    connect(this, &Form1::ledgerChangedElsewhere, &form2, &editor::Form2::othersChanged);
    trap.run(102, [&] { form2.m_ID = ListView1->selectedText(); });
    trap.run(104, [&] { form2.setWindowTitle(QStringLiteral("Edit Data")); });
    trap.run(106, [&] { form2.showModal(); });
    trap.run(108, [this] { reloadInPlace(Changed::Current); });
}

void Form1::PushButton2_Click()
{
    auto trap = trapFor("PushButton2_Click");
    editor::Form2 form2(this);
    trap.run(116, [&] { form2.m_ID = QString(); });
    trap.run(118, [&] { form2.setWindowTitle(QStringLiteral("Add New")); });
    trap.run(120, [&] { form2.showModal(); });
    trap.run(122, [this] { reloadInPlace(Changed::Newest); });
}

void Form1::PushButton3_Click()
{
    auto trap = trapFor("PushButton3_Click");
    if (trap.test(100, [this] { return ListView1->count() == 0; }))
        return;
    QString gone;   // the transaction someone else deleted after the list was read
    trap.run(102, [&] {
        const QString number = ListView1->selectedText();
        const data::UndoStep step(data::steps::deleteTransaction(number));
        if (data::connection().Execute(statements::deleteTransaction(number)) == 0)
            gone = number;
    });
    trap.run(104, [this] { reloadInPlace(Changed::Current); });
    if (!gone.isEmpty())
        platform::Dialogs::current().MsgBox(data::alreadyDeletedMessage(gone), platform::vbOKOnly | platform::vbExclamation,
                                            platform::appTitle());
}

void Form1::PushButton4_Click()
{
    auto trap = trapFor("PushButton4_Click");
    if (trap.test(100, [this] { return ListView1->count() == 0; }))
        return;
    data::Recordset rs;   // 102
    trap.run(104, [&] {
        rs.Open(statements::selectTransaction(ListView1->selectedText()), data::connection(), 3, 1);
    });
    if (trap.test(106, [&] { return !rs.eof(); }))
        trap.run(108, [&] {
            const data::UndoStep step(data::steps::duplicateTransaction(ListView1->selectedText()));
            data::connection().Execute(statements::duplicateInsert(rs));
        });
    trap.run(110, [&] { rs.Close(); });
    trap.run(112, [this] { reloadInPlace(Changed::Newest); });
}

void Form1::PushButton5_Click()
{
    // While the copy and the first page are in the making: the busy pointer, and after
    // half a second a progress window; the window repaints meanwhile.
    shell::setMousePointer(this, shell::vbHourglass);
    auto pending = std::make_unique<PendingEvents>(this, QStringLiteral("Preparing the report…"), 0);
    const auto tick = [&] {
        if (pending)
            pending->run(0);
    };
    const auto ready = [&] {
        pending.reset();
        shell::setMousePointer(this, shell::vbDefault);
    };
    createReport(tick, [&](output::DataReport& report) {
        report.rows(tick);
        ready();
        report.showModal(this);
    });
    ready();
}

void Form1::ReportToPdf(const QString& file)
{
    createReport({}, [&](output::DataReport& report) { report.writePdf(file); });
}

void Form1::createReport(const std::function<void()>& tick, const std::function<void(output::DataReport&)>& show)
{
    auto trap = trapFor("PushButton5_Click");
    QStringList pieces;
    trap.run(106, [&] { pieces = Label33->text().split(u':'); });
    double balance = 0;
    trap.run(108, [&] { balance = platform::toDouble(pieces.last()); });
    // A copy that could not be made whole has been reported, and there is nothing
    // true to show.
    if (!output::fillReportTable(trap, tick))                            // 110-126
        return;
    data::Recordset rs;
    if (!trap.run(128, [&] { rs.Open(output::kReportQuery, data::connection(), 3, 1); }))
        return;
    std::unique_ptr<output::DataReport> report;
    auto rpt = [&]() -> output::DataReport& {
        if (!report)
            throw platform::AppError(QStringLiteral("Object variable or With block variable not set"));
        return *report;
    };
    trap.run(130, [&] { report = std::make_unique<output::rptMain>(); });
    trap.run(132, [&] { rpt().setDataSource(rs); });
    // The four amount controls take the user's number format.
    struct Amount { int line; const char* section; const char* control; };
    for (const Amount& amount : {Amount{134, "Section1", "Text2"}, Amount{136, "Section1", "Text7"},
                                 Amount{138, "Section5", "Function1"}, Amount{140, "Section5", "Function2"}}) {
        trap.run(amount.line, [&] {
            rpt().Sections(QString::fromLatin1(amount.section)).Controls(QString::fromLatin1(amount.control))
                .DataFormat.Format = currency::OwnCurrencyFormat();
        });
    }
    trap.run(142, [&] {
        rpt().Sections(QStringLiteral("Section5")).Controls(QStringLiteral("lblBalance")).Caption =
            currency::formatAmount(balance, currency::OwnCurrencyFormat());
    });
    trap.run(144, [&] { show(rpt()); });
    trap.run(146, [&] { rs.Close(); });
    trap.run(148, [&] { report.reset(); });
}

void Form1::PushButton7_Click()
{
    auto trap = trapFor("PushButton7_Click");
    const data::UndoStep step(data::steps::exampleData());              // the whole example is one step
    data::Recordset rs;                                              // 100
    int count = 0;                                                       // 102
    trap.run(104, [&] { rs.Open(statements::countAccounts(), data::connection(), 3, 1); });
    if (trap.test(106, [&] { return !rs.eof(); }))
        trap.run(108, [&] { count = platform::toLong(rs.Fields(u"CountID").Value()); });
    trap.run(110, [&] { rs.Close(); });
    struct NewAccount { int test, insert, add; const char* name; };
    for (const NewAccount& account : {NewAccount{112, 114, 116, "Loans"}, NewAccount{118, 120, 122, "Income"}}) {
        if (trap.test(account.test, [&] { return count < 2; })) {
            trap.run(account.insert, [&] { data::connection().Execute(statements::insertSampleAccount(account.name)); });
            trap.run(account.add, [&] { ++count; });
        }
    }
    qint32 first = 1;                                                    // 124
    qint32 last = 1;                                                     // 126
    struct Lookup { int open, test, read, close; const char* aggregate; qint32* id; };
    for (const Lookup& lookup : {Lookup{128, 130, 132, 134, "First", &first}, Lookup{136, 138, 140, 142, "Last", &last}}) {
        trap.run(lookup.open, [&] { rs.Open(statements::sampleAccountId(lookup.aggregate), data::connection(), 3, 1); });
        if (trap.test(lookup.test, [&] { return !rs.eof(); }))
            trap.run(lookup.read, [&] { *lookup.id = platform::toLong(rs.Fields(u"MaxID").Value()); });
        trap.run(lookup.close, [&] { rs.Close(); });
    }
    const QString today = statements::sampleDateText(QDate::currentDate());
    struct Example { int build, execute; const char* description; const qint32* account; int withdrawal, deposit; };
    const Example examples[] = {
        {144, 146, "Business trip", &last, 135, 120},
        {148, 150, "Service bill", &first, 98, 32},
        {152, 154, "Papers", &last, 74, 35},
    };
    for (const Example& example : examples) {
        QString sql;
        trap.run(example.build, [&] {
            sql = statements::sampleInsert(today, QString::fromLatin1(example.description), *example.account,
                                           example.withdrawal, example.deposit);
        });
        trap.run(example.execute, [&] { data::connection().Execute(sql); });
    }
    trap.run(156, [this] { reloadInPlace(Changed::Newest); });
}

void Form1::PushButton8_Click()
{
    auto trap = trapFor("PushButton8_Click");
    trap.run(100, [] {
        platform::Dialogs::current().MsgBox(QStringLiteral("Questions? Please contact Team Marlowick at ")
                                            + shell::kContactPage);
    });
}

void Form1::PushButton9_Click()
{
    auto trap = trapFor("PushButton9_Click");
    trap.run(100, [this] {
        currency::Form3 form3(this);
        form3.showModal();
    });
    trap.run(102, [this] { reloadInPlace(Changed::Current); });
}

} // namespace mainwindow
