// The undo history: every kind of change undone and redone exactly, keys and
// auto-number counters included, across a restart; what clears the redo and what is
// kept; and a step whose rows another program changed since is refused and changes
// nothing.
#include "data/Ledger.h"
#include "data/sqlite/Database.h"
#include "data/sqlite/FileBackend.h"
#include "data/Undo.h"
#include "data/UndoHistory.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/LedgerEnvironment.h"
#include "tests/support/NoSharedMemory.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>

using platform::Connection;

namespace {
// The file back end under the shared connection: this history is the file's own.
data::sqlite::FileBackend& fileLedger()
{
    return static_cast<data::sqlite::FileBackend&>(*data::connection().backend());
}
} // namespace
using data::UndoConflict;
using data::UndoHistory;
using testing_support::LedgerEnvironment;

namespace {

// Everything an undo must put back: every row of both tables, each value with its
// type, and the auto-number counters.
const QString kLedgerState = QStringLiteral(
    "select 'A', AccountID, quote(AccountName) from Accounts "
    "union all select 'T', TransactionNumber, quote(TransactionDate) || quote(TransactionDescription) || "
    "quote(AccountID) || quote(WithdrawalAmount) || quote(DepositAmount) || quote(Taxable) from Transactions "
    "union all select 'S', name, seq from sqlite_sequence where name in ('Accounts', 'Transactions') order by 1, 2");

const QString kInsert = QStringLiteral(
    "insert into Transactions (TransactionDate,TransactionDescription,AccountID,WithdrawalAmount,DepositAmount,Taxable) values ");

class UndoHistoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.tellInMessageBoxes();
        env.openLedger();
        db().Execute(QStringLiteral("insert into Accounts (AccountName) values ('Rent')"));
        db().Execute(QStringLiteral("insert into Accounts (AccountName) values ('Food')"));
        db().Execute(kInsert + QStringLiteral("(#03/05/2024#,'O''Brien',1,12345678901234.56,null,1)"));
        db().Execute(kInsert + QStringLiteral("(#03/06/2024#,'lunch',2,0.1,2,0)"));
        db().Execute(kInsert + QStringLiteral("(#03/07/2024#,'bus',2,3,0,0)"));
    }

    static Connection& db() { return fileLedger().connection(); }
    static UndoHistory& history() { return fileLedger().undoHistory(); }
    std::string state() const { return env.rows(kLedgerState); }
    std::string steps() const { return env.rows(QStringLiteral("select StepID, Label, Undone from UndoSteps order by StepID")); }
    // Every change logged: a step's first in its own row, the others in UndoLog.
    static inline const QString kChanges = QStringLiteral(
        "(select StepID, 1 as Seq, TableName, RowKey from UndoSteps union all select StepID, Seq, TableName, RowKey from UndoLog)");

    // Runs `change` as one step called `label`.
    static void step(const QString& label, const std::function<void()>& change)
    {
        history().begin(label);
        change();
        history().end();
    }
    static void run(const QString& label, const QString& sql)
    {
        step(label, [&] { db().Execute(sql); });
    }

    LedgerEnvironment env;
};

} // namespace

TEST_F(UndoHistoryTest, EveryKindOfChangeIsUndoneAndRedoneExactlyKeysAndCountersIncluded)
{
    struct Case {
        const char* label;
        std::vector<const char*> statements;
    };
    const Case cases[] = {
        {"add", {"insert into Transactions (TransactionDate,TransactionDescription,AccountID,WithdrawalAmount,"
                 "DepositAmount,Taxable) values (#12/31/2024#,'new',1,1e-7,1.7976931348623157e308,1)"}},
        {"edit", {"update Transactions set TransactionDescription='it''s',WithdrawalAmount=null,Taxable=0 "
                  "where TransactionNumber=1"}},
        {"delete", {"delete from [Transactions] where TransactionNumber=2"}},
        {"add account", {"insert into Accounts (AccountName) values ('Travel')"}},
        {"delete account with its transactions",
         {"delete from Accounts where AccountID=2", "delete from Transactions where AccountID=2"}},
        {"several adds", {"insert into [Accounts] (AccountName) values ('Loans')",
                          "insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                          "WithdrawalAmount,DepositAmount,Taxable) values (#01/01/2025#,'a',3,1,2,0)",
                          "insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                          "WithdrawalAmount,DepositAmount,Taxable) values (#01/02/2025#,'b',3,3,4,0)"}},
        {"the same row twice", {"update Transactions set DepositAmount=5 where TransactionNumber=1",
                                "delete from Transactions where TransactionNumber=1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string before = state();
        step(QString::fromLatin1(c.label), [&] {
            for (const char* sql : c.statements)
                db().Execute(QString::fromLatin1(sql));
        });
        const std::string after = state();
        ASSERT_NE(after, before);
        ASSERT_EQ(history().nextUndo()->label, c.label);
        EXPECT_EQ(history().undo()->label, c.label);
        EXPECT_EQ(state(), before);
        EXPECT_EQ(history().nextRedo()->label, c.label);
        EXPECT_EQ(history().redo()->label, c.label);
        EXPECT_EQ(state(), after);
        // And back again, for the next case to start from the ledger as it was.
        history().undo();
        EXPECT_EQ(state(), before);
    }
    // Each case's change cleared the redo of the one before.
    EXPECT_EQ(history().redo()->label, "the same row twice");
    EXPECT_FALSE(history().nextRedo());

    // A key changed: the row goes back under its old number and forward under the
    // new one (a counter never goes below a number in use, so the redone insert
    // leaves it at 40 where the update had left it alone).
    const std::string rows = env.rows(QStringLiteral("select * from Transactions order by 1"));
    run(QStringLiteral("a new key"), QStringLiteral("update Transactions set TransactionNumber=40 where TransactionNumber=3"));
    const std::string moved = env.rows(QStringLiteral("select * from Transactions order by 1"));
    history().undo();
    EXPECT_EQ(env.rows(QStringLiteral("select * from Transactions order by 1")), rows);
    history().redo();
    EXPECT_EQ(env.rows(QStringLiteral("select * from Transactions order by 1")), moved);
}

TEST_F(UndoHistoryTest, StepsUndoNewestFirstAndSurviveARestart)
{
    const std::string start = state();
    run(QStringLiteral("Delete transaction 1"), QStringLiteral("delete from Transactions where TransactionNumber=1"));
    const std::string afterFirst = state();
    run(QStringLiteral("Add account Travel"), QStringLiteral("insert into Accounts (AccountName) values ('Travel')"));
    const std::string afterSecond = state();

    data::releaseConnection();
    data::createConnection();
    data::connection().Open(data::connectionString());
    EXPECT_EQ(history().nextUndo()->label, "Add account Travel");
    history().undo();
    EXPECT_EQ(state(), afterFirst);
    EXPECT_EQ(history().undo()->label, "Delete transaction 1");
    EXPECT_EQ(state(), start);
    EXPECT_FALSE(history().undo());   // nothing more to undo
    EXPECT_EQ(state(), start);
    history().redo();
    history().redo();
    EXPECT_EQ(state(), afterSecond);
    EXPECT_FALSE(history().nextRedo());
}

TEST_F(UndoHistoryTest, AnUndoneAddGivesItsNumberBackAndItsRedoTakesItAgain)
{
    run(QStringLiteral("add"), kInsert + QStringLiteral("(#01/01/2025#,'x',1,1,0,0)"));
    const std::string added = env.rows(QStringLiteral("select max(TransactionNumber) from Transactions"));
    history().undo();
    history().redo();
    EXPECT_EQ(env.rows(QStringLiteral("select max(TransactionNumber) from Transactions")), added);
    history().undo();
    // A new change after the undo numbers as if the undone add had never been.
    run(QStringLiteral("another add"), kInsert + QStringLiteral("(#01/01/2025#,'y',1,1,0,0)"));
    EXPECT_EQ(env.rows(QStringLiteral("select max(TransactionNumber) from Transactions")), added);
}

TEST_F(UndoHistoryTest, AStepRightAfterAnotherUndoesToTheCountersItFoundHoweverTheOtherNumberedRows)
{
    // Each add follows, with nothing in between, a step that numbered rows its own way;
    // its undo must bring back the counter exactly as that step left it.
    const struct {
        const char* label;
        const char* sql;
        const char* first = nullptr;   // run before, outside any step
    } cases[] = {
        {"add", "insert into Transactions (TransactionDescription) values ('x')"},
        {"numbered above the counter", "insert into Transactions (TransactionNumber,TransactionDescription) values (90,'x')"},
        {"numbered below it", "insert into Transactions (TransactionNumber,TransactionDescription) values (3,'x')",
         "delete from Transactions where TransactionNumber=3"},
        {"a new key above it", "update Transactions set TransactionNumber=200 where TransactionNumber=2"},
        {"an insert that updates the row under its number instead",
         "insert into Transactions (TransactionNumber,TransactionDescription) values (200,'u') "
         "on conflict do update set TransactionDescription='upserted'"},
        {"an insert that skips rows it numbered", "insert or ignore into Transactions (TransactionDate,WithdrawalAmount) "
                                                  "values ('2025-01-01','x'), ('2025-01-02',1), ('2025-01-03','x')"},
        {"the counter set by hand", "update sqlite_sequence set seq=300 where name='Transactions'"},
        {"several rows at once", "insert into Transactions (TransactionDate,AccountID) select TransactionDate, "
                                 "AccountID from Transactions where TransactionNumber < 100"},
        {"an account", "insert into Accounts (AccountName) values ('Travel')"},
    };
    const QString add = kInsert + QStringLiteral("(#01/01/2025#,'x',1,1,0,0)");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.first)
            db().Execute(QString::fromLatin1(c.first));
        const std::string before = state();
        run(QString::fromLatin1(c.label), QString::fromLatin1(c.sql));
        const std::string after = state();
        ASSERT_NE(after, before);
        run(QStringLiteral("add"), add);
        ASSERT_EQ(history().undo()->label, "add");
        EXPECT_EQ(state(), after);
    }

    // A table whose own conflict clause skips a row it has numbered.
    env.sqlite(QStringLiteral("create table Kept (AccountID INTEGER PRIMARY KEY AUTOINCREMENT, "
                              "AccountName TEXT NOT NULL ON CONFLICT IGNORE); insert into Kept select * from Accounts; "
                              "drop table Accounts; alter table Kept rename to Accounts"));
    run(QStringLiteral("accounts"), QStringLiteral("insert into Accounts (AccountName) values ('Loans'), (null)"));
    const std::string after = state();
    run(QStringLiteral("add account"), QStringLiteral("insert into Accounts (AccountName) values ('Travel')"));
    history().undo();
    EXPECT_EQ(state(), after);
}

TEST_F(UndoHistoryTest, ANewChangeClearsTheRedoAndAStepThatChangedNothingLeavesNoTrace)
{
    run(QStringLiteral("first"), QStringLiteral("delete from Transactions where TransactionNumber=1"));
    run(QStringLiteral("second"), QStringLiteral("delete from Transactions where TransactionNumber=2"));
    history().undo();
    history().undo();
    run(QStringLiteral("nothing"), QStringLiteral("delete from Transactions where TransactionNumber=99"));
    EXPECT_EQ(history().nextRedo()->label, "first") << "a step that changed nothing keeps the redo";
    run(QStringLiteral("third"), QStringLiteral("update Accounts set AccountName='Home' where AccountID=1"));
    EXPECT_FALSE(history().nextRedo());
    EXPECT_EQ(steps(), "3|third|0");
    EXPECT_EQ(env.rows(QStringLiteral("select distinct StepID from ") + kChanges), "3");
}

TEST_F(UndoHistoryTest, TwoCopiesOfTheProgramRecordingAtOnceEachGetStepsOfTheirOwn)
{
    Connection other;
    UndoHistory otherHistory(other);
    other.Open(data::connectionString());
    // Both begin before either has changed anything (ours has run a statement that
    // changed nothing): a step's number is taken with its first change.
    history().begin(QStringLiteral("ours"));
    otherHistory.begin(QStringLiteral("theirs"));
    db().Execute(QStringLiteral("delete from Transactions where TransactionNumber=99"));
    other.Execute(QStringLiteral("delete from Transactions where TransactionNumber=2"));
    db().Execute(QStringLiteral("delete from Transactions where TransactionNumber=1"));
    other.Execute(QStringLiteral("update Accounts set AccountName='Flat' where AccountID=1"));
    db().Execute(QStringLiteral("delete from Transactions where TransactionNumber=3"));
    otherHistory.end();
    history().end();
    EXPECT_EQ(steps(), "1|theirs|0; 2|ours|0");
    EXPECT_EQ(env.rows(QStringLiteral("select StepID, TableName, RowKey from %1 order by StepID, Seq").arg(kChanges)),
              "1|Transactions|2; 1|Accounts|1; 2|Transactions|1; 2|Transactions|3");
    EXPECT_EQ(history().undo()->label, "ours");
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionNumber from Transactions order by 1")), "1; 3");
}

TEST_F(UndoHistoryTest, AStepThatCannotBeRecordedFailsItsStatementAndTheNextOneStillRuns)
{
    // The history's tables gone under it: the add in a step fails as a whole...
    env.sqlite(QStringLiteral("drop table UndoSteps"));
    const QString add = kInsert + QStringLiteral("(#01/02/2025#,'kept',1,1,0,0)");
    history().begin(QStringLiteral("add"));
    EXPECT_THROW(db().Execute(add), platform::DbError);
    history().end();
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), "3");
    // ...and the same add outside a step runs on a statement still sound.
    db().Execute(add);
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionDescription from Transactions where TransactionNumber=4")), "kept");
}

TEST_F(UndoHistoryTest, OnlyTheNewestThousandStepsCanBeUndoneAndTheOlderOnesLeaveTheFileTogether)
{
    constexpr int kept = UndoHistory::kStepsKept, together = UndoHistory::kStepsDroppedTogether;
    // Each step commits on its own, as a user's do, and changes two rows: one logged in
    // the step's own row, one in UndoLog.
    const auto rename = [&](int i) {
        run(QStringLiteral("step %1").arg(i), QStringLiteral("update Accounts set AccountName='%1'").arg(i));
    };
    // The steps in the file, the oldest, and changes logged for steps no longer there.
    const QString held = QStringLiteral("select count(*), (select Label from UndoSteps order by StepID limit 1), "
                                        "(select count(*) from UndoLog where StepID not in (select StepID from UndoSteps)) "
                                        "from UndoSteps");
    for (int i = 1; i < kept + together; ++i)
        rename(i);
    EXPECT_EQ(env.rows(held), QStringLiteral("%1|step 1").arg(kept + together - 1).toStdString() + "|0");
    rename(kept + together);
    EXPECT_EQ(env.rows(held), QStringLiteral("%1|step %2").arg(kept).arg(together + 1).toStdString() + "|0");

    // A step refused as changed since is taken out of the history, and the step beyond
    // the thousand with it, rather than let back within reach.
    run(QStringLiteral("their row"), QStringLiteral("update Transactions set DepositAmount=7 where TransactionNumber=1"));
    env.sqlite(QStringLiteral("update Transactions set DepositAmount=8 where TransactionNumber=1"));
    EXPECT_THROW(history().undo(), UndoConflict);
    EXPECT_EQ(env.rows(held), QStringLiteral("%1|step %2").arg(kept - 1).arg(together + 2).toStdString() + "|0");

    // One beyond the thousand again: the newest thousand can be undone, and nothing older.
    rename(kept + together + 1);
    rename(kept + together + 2);
    for (int i = kept + together + 2; i > together + 2; --i)
        ASSERT_EQ(history().undo()->label, QStringLiteral("step %1").arg(i));
    EXPECT_FALSE(history().undo());
    EXPECT_EQ(env.rows(QStringLiteral("select AccountName from Accounts")),
              QStringLiteral("%1; %1").arg(together + 2).toStdString());
    // A new change clears what could be redone, and the step beyond with it.
    rename(0);
    EXPECT_EQ(env.rows(held), "1|step 0|0");
}

TEST_F(UndoHistoryTest, WhatAnotherCopyRecordsOrUndoesBetweenOurStepsIsTakenIntoAccount)
{
    Connection other;
    UndoHistory otherHistory(other);
    other.Open(data::connectionString());
    const auto theirs = [&](const QString& label, const QString& sql) {
        otherHistory.begin(label);
        other.Execute(sql);
        otherHistory.end();
    };
    run(QStringLiteral("ours 1"), QStringLiteral("delete from Transactions where TransactionNumber=1"));
    theirs(QStringLiteral("theirs"), QStringLiteral("update Accounts set AccountName='Flat' where AccountID=1"));
    run(QStringLiteral("ours 2"), QStringLiteral("delete from Transactions where TransactionNumber=2"));
    EXPECT_EQ(steps(), "1|ours 1|0; 2|theirs|0; 3|ours 2|0");

    // They undo our newest step and add a transaction: our next change clears the
    // redo, and its undo takes the counter back to their number.
    EXPECT_EQ(otherHistory.undo()->label, "ours 2");
    other.Execute(kInsert + QStringLiteral("(#01/01/2025#,'theirs',1,1,0,0)"));   // number 4
    const std::string before = state();
    run(QStringLiteral("ours 3"), kInsert + QStringLiteral("(#01/02/2025#,'ours',1,1,0,0)"));
    EXPECT_EQ(steps(), "1|ours 1|0; 2|theirs|0; 4|ours 3|0");
    EXPECT_EQ(env.rows(QStringLiteral("select max(TransactionNumber) from Transactions")), "5");
    EXPECT_EQ(history().undo()->label, "ours 3");
    EXPECT_EQ(state(), before);
    history().redo();

    // A statement refused half way leaves the history as it found it.
    EXPECT_THROW(run(QStringLiteral("refused"), QStringLiteral("update Transactions set WithdrawalAmount='abc' where "
                                                               "TransactionNumber=3")),
                 platform::DbError);
    history().end();
    theirs(QStringLiteral("theirs again"), QStringLiteral("delete from Transactions where TransactionNumber=3"));
    run(QStringLiteral("ours 4"), QStringLiteral("delete from Transactions where TransactionNumber=4"));
    EXPECT_EQ(steps(), "1|ours 1|0; 2|theirs|0; 4|ours 3|0; 5|theirs again|0; 6|ours 4|0");
    EXPECT_EQ(history().undo()->label, "ours 4");
    EXPECT_EQ(history().undo()->label, "theirs again");
}

TEST(UndoWithoutSharedMemory, TwoCopiesRecordingInTurnOnALedgerWithARollbackJournalSeeEachOthersSteps)
{
    testing_support::NoSharedMemory noSharedMemory;
    LedgerEnvironment env;
    env.openLedger();
    ASSERT_FALSE(fileLedger().connection().writeAheadLog());
    Connection other;
    UndoHistory otherHistory(other);
    other.Open(data::connectionString());
    UndoHistory& ours = fileLedger().undoHistory();
    const auto step = [](Connection& db, UndoHistory& history, const QString& label, const QString& sql) {
        history.begin(label);
        db.Execute(sql);
        history.end();
    };
    const auto steps = [&] {
        return env.rows(QStringLiteral("select StepID, Label, Undone from UndoSteps order by StepID"));
    };
    step(fileLedger().connection(), ours, QStringLiteral("ours 1"), QStringLiteral("insert into Accounts (AccountName) values ('Rent')"));
    step(other, otherHistory, QStringLiteral("theirs"), QStringLiteral("insert into Accounts (AccountName) values ('Food')"));
    step(fileLedger().connection(), ours, QStringLiteral("ours 2"), QStringLiteral("insert into Accounts (AccountName) values ('Fuel')"));
    EXPECT_EQ(steps(), "1|ours 1|0; 2|theirs|0; 3|ours 2|0");
    EXPECT_EQ(otherHistory.undo()->label, "ours 2");
    step(fileLedger().connection(), ours, QStringLiteral("ours 3"), QStringLiteral("insert into Accounts (AccountName) values ('Gift')"));
    EXPECT_EQ(steps(), "1|ours 1|0; 2|theirs|0; 4|ours 3|0");
    // Their undo gave number 3 back; ours took it again, and its undo gives it back.
    EXPECT_EQ(env.rows(QStringLiteral("select AccountID, AccountName from Accounts order by 1")), "1|Rent; 2|Food; 3|Gift");
    EXPECT_EQ(ours.undo()->label, "ours 3");
    EXPECT_EQ(env.rows(QStringLiteral("select seq from sqlite_sequence where name='Accounts'")), "2");
}

TEST_F(UndoHistoryTest, WhatTheHistoryDoesNotSeeIsNotRecordedAndStopsAStepItWouldOverwrite)
{
    run(QStringLiteral("Edit transaction 2"), QStringLiteral("update Transactions set DepositAmount=9 where TransactionNumber=2"));
    run(QStringLiteral("Delete transaction 3"), QStringLiteral("delete from Transactions where TransactionNumber=3"));
    // Another program: its changes are its own, the report's scratch table is no
    // change the user makes, and a change outside any step is not recorded either.
    const std::string log = env.rows(QStringLiteral("select count(*) from ") + kChanges);
    env.sqlite(QStringLiteral("update Transactions set TransactionDescription='meal' where TransactionNumber=2"));
    db().Execute(QStringLiteral("insert into tblReport (Account) values ('x')"));
    db().Execute(QStringLiteral("update Accounts set AccountName='Flat' where AccountID=1"));
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from ") + kChanges), log);

    // The delete's row is untouched: it comes back.
    history().undo();
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionDescription from Transactions where TransactionNumber=3")), "bus");
    // The edit's row is not as the edit left it: undoing would lose the other change.
    const std::string before = state();
    try {
        history().undo();
        ADD_FAILURE() << "the undo went ahead";
    } catch (const UndoConflict& conflict) {
        EXPECT_EQ(conflict.label(), "Edit transaction 2");
        EXPECT_EQ(conflict.table(), "Transactions");
        EXPECT_EQ(conflict.key(), 2);
        EXPECT_FALSE(conflict.redo());
        EXPECT_EQ(conflict.changedBy(), UndoConflict::ChangedBy::AnotherCopy);   // a file cannot tell who
    }
    EXPECT_EQ(state(), before);
    EXPECT_EQ(steps(), "2|Delete transaction 3|1") << "the edit is out of the history";

    // The same for a redo: another program took the number the redone delete... stays free,
    // but the row it would delete has changed.
    env.sqlite(QStringLiteral("update Transactions set DepositAmount=1 where TransactionNumber=3"));
    EXPECT_THROW(history().redo(), UndoConflict);
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions where TransactionNumber=3")), "1");
    EXPECT_EQ(steps(), "");
}

TEST_F(UndoHistoryTest, CountersAnotherProgramMovedOnAreLeftAlone)
{
    run(QStringLiteral("add"), kInsert + QStringLiteral("(#01/01/2025#,'x',1,1,0,0)"));
    env.addTransaction(QStringLiteral("'2025-01-02','theirs',1,1,0,0"));   // number 5
    history().undo();
    EXPECT_EQ(env.rows(QStringLiteral("select seq from sqlite_sequence where name='Transactions'")), "5");
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionNumber from Transactions order by 1")), "1; 2; 3; 5");
}

TEST_F(UndoHistoryTest, RowsAnOlderVersionLetInComeBackAsTheyWere)
{
    // An infinite amount, from before amounts were checked.
    env.sqlite(QStringLiteral("pragma ignore_check_constraints = on; update Transactions set DepositAmount = 1e999 "
                              "where TransactionNumber = 3"));
    const std::string before = state();
    run(QStringLiteral("delete"), QStringLiteral("delete from Transactions where TransactionNumber=3"));
    history().undo();
    EXPECT_EQ(state(), before);
    EXPECT_THROW(db().Execute(QStringLiteral("update Transactions set WithdrawalAmount=1e999")), platform::DbError)
        << "the checks are back on";
}

TEST_F(UndoHistoryTest, ADamagedLedgerRefusesUndoAndRedoWithItsMessage)
{
    run(QStringLiteral("delete"), QStringLiteral("delete from Transactions where TransactionNumber=3"));
    db().Close();
    // A page of the transactions zeroed: found by the first read of them.
    testing_support::zeroPage(env.workingDatabase(), std::stoi(env.rows(
        QStringLiteral("select rootpage from sqlite_master where name = 'Transactions'"))));
    testing_support::ScriptedDialogs dialogs;
    dialogs.answerMessage(platform::vbOK);   // the damage, told when the read meets it
    db().Open(data::connectionString());
    platform::Recordset rs;
    try {
        rs.Open(QStringLiteral("select * from Transactions"), db());
    } catch (const platform::DbError&) {
    }
    ASSERT_EQ(db().problem(), platform::FileProblem::Damaged);
    try {
        history().undo();
        ADD_FAILURE() << "undone on a damaged file";
    } catch (const platform::FileRefusal& refusal) {
        EXPECT_EQ(refusal.description(), db().problemMessage());
    }
    EXPECT_THROW(history().redo(), platform::FileRefusal);
}

TEST(UndoUnavailable, ALedgerThatCannotKeepItsHistoryIsToldOnceAndStillSavesEveryChange)
{
    testing_support::ScriptedDialogs dialogs;
    LedgerEnvironment env;
    env.tellInMessageBoxes();
    env.placeLedger();
    env.sqlite(QStringLiteral("drop table UndoLog"));
    dialogs.answerMessage(platform::vbOK);
    data::createConnection();
    data::connection().Open(data::connectionString());
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].startsWith(QStringLiteral("Undo is unavailable for the ledger file '")));
    EXPECT_TRUE(dialogs.messages()[0].contains(QStringLiteral("no tables UndoSteps and UndoLog")));
    EXPECT_EQ(dialogs.prompts()[0].style, platform::vbExclamation);
    {
        data::UndoStep step(QStringLiteral("Add account Travel"));
        data::connection().Execute(QStringLiteral("insert into Accounts (AccountName) values ('Travel')"));
    }
    EXPECT_EQ(env.rows(QStringLiteral("select AccountName from Accounts")), "Travel");
    EXPECT_EQ(data::undoLabel(), QString());
    EXPECT_FALSE(data::undo().moved);
    // Opened again on the same connection, as after a restore: not told a second time.
    data::connection().Close();
    data::connection().Open(data::connectionString());
    EXPECT_EQ(dialogs.messages().size(), 1);
}

// An older ledger brought up to the format with import keys keeps its history exactly,
// and its steps still undo.
TEST(LedgerFormat, AFileWithAnUndoHistoryGetsTheImportKeysAndKeepsItsHistoryExactly)
{
    testing_support::TestEnvironment env;
    env.placeLedger();
    const QString file = env.workingDatabase();
    // A ledger as the format before the import keys left it: an account added and undone
    // once, its history in both tables.
    env.sqlite(QStringLiteral(
        "drop table ImportKeys; alter table UndoSteps drop column ImportKeysSequence; pragma user_version = 3;"
        "insert into Accounts (AccountName) values ('Rent');"
        "insert into Transactions (TransactionDate, AccountID, WithdrawalAmount) values ('2024-03-05', 1, 12.5);"
        "insert into UndoSteps (StepID, Label, Undone, AccountsSequence, TransactionsSequence, TableName, RowKey, Before, "
        "After, A1) values (7, 'Add account Rent', 0, NULL, NULL, 'Accounts', 1, 0, 1, 'Rent');"
        "insert into UndoLog (StepID, Seq, TableName, RowKey, Before, After, A1, A2, A3, A4, A5, A6) "
        "values (7, 2, 'Transactions', 1, 0, 1, '2024-03-05', NULL, 1, 12.5, NULL, NULL);"));
    const QString history = QStringLiteral(
        "select StepID, Label, Undone, quote(AccountsSequence), quote(TransactionsSequence), TableName, RowKey, "
        "Before, After, quote(A1), quote(A4) from UndoSteps union all select StepID, Seq, '', '', '', TableName, "
        "RowKey, Before, After, quote(A1), quote(A4) from UndoLog order by 1, 2");
    const std::string before = env.rows(history);
    const QByteArray fileBefore = testing_support::fileHash(file);

    Connection db;
    int hookVersion = -1;
    db.setOwner({.describe = {}, .tell = {}, .changed = {}, .beforeMigration = [&](const QString& f, int from) {
                     hookVersion = from;
                     EXPECT_EQ(testing_support::fileHash(f), fileBefore);
                 }});
    db.Open(env.connectionString());
    EXPECT_EQ(hookVersion, 3);
    EXPECT_EQ(env.rows(QStringLiteral("pragma user_version")), "4");
    EXPECT_EQ(env.rows(history), before);
    EXPECT_EQ(env.rows(QStringLiteral("select count(*), quote(max(ImportKeysSequence)) from UndoSteps")), "1|NULL");
    testing_support::TestEnvironment blank;
    blank.placeLedger();
    const QString schema = QStringLiteral("select type, name, sql from sqlite_master where name not like 'sqlite%' order by name");
    EXPECT_EQ(env.rows(schema), blank.rows(schema));

    // The old step still undoes, and leaves the new table's counter alone.
    data::UndoHistory steps(db);
    ASSERT_TRUE(steps.undo());
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Accounts")), "0");
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), "0");
}
