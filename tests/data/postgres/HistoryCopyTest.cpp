// The undo history travels with a copied ledger, between a file and a server in every
// direction: the copy's steps are the original's, value for value, and undo and redo on
// the copy do what they do on the original. A step the target cannot keep stops the
// whole copy, and nothing of it is left.
#include "data/Connection.h"
#include "data/LedgerCopy.h"
#include "data/postgres/ServerBackend.h"
#include "data/sqlite/FileBackend.h"
#include "tests/data/postgres/ServerFixture.h"
#include "tests/support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <gtest/gtest.h>
#include <sqlite3.h>

using data::Connection;
using data::HistoryStep;
using data::Recordset;

namespace {

QString text(const QVariant& value)
{
    if (value.typeId() == QMetaType::Double)
        return QStringLiteral("double:") + QString::number(value.toDouble(), 'g', 17);
    return QString::fromLatin1(value.typeName()) + u':' + value.toString();
}

QString image(const std::optional<QVariantList>& values)
{
    if (!values)
        return QStringLiteral("(none)");
    QStringList out;
    for (const QVariant& value : *values)
        out << text(value);
    return out.join(u'|');
}

// The steps as lines of text; `whose`: with their desktops, roles and times.
QStringList described(const std::vector<HistoryStep>& steps, bool whose)
{
    QStringList out;
    for (const HistoryStep& step : steps) {
        QString line = step.label + (step.undone ? QStringLiteral(" (undone)") : QString());
        for (const auto& sequence : step.sequences)
            line += u' ' + (sequence ? QString::number(*sequence) : QStringLiteral("-"));
        if (whose)
            line += u' ' + step.desktop + u' ' + step.role + u' ' + step.madeAt.toString(Qt::ISODateWithMs);
        out << line;
        for (const HistoryStep::Change& change : step.changes)
            out << QStringLiteral("  %1 %2: %3 -> %4").arg(change.table).arg(change.key).arg(image(change.before),
                                                                                          image(change.after));
    }
    return out;
}

// Every row with each value's type, and the counters.
QStringList ledgerState(Connection& db)
{
    QStringList state;
    const std::pair<const char*, QStringList> tables[] = {
        {"Accounts", {QStringLiteral("AccountID"), QStringLiteral("AccountName")}},
        {"Transactions",
         {QStringLiteral("TransactionNumber"), QStringLiteral("TransactionDate"), QStringLiteral("TransactionDescription"),
          QStringLiteral("AccountID"), QStringLiteral("WithdrawalAmount"), QStringLiteral("DepositAmount"),
          QStringLiteral("Taxable")}},
        {"ImportKeys", {QStringLiteral("ImportKeyID"), QStringLiteral("ImportKey"), QStringLiteral("KeyCents")}}};
    for (const auto& [table, columns] : tables) {
        Recordset rs;
        rs.Open(QStringLiteral("select * from %1").arg(QLatin1String(table)), db);
        QStringList rows;
        for (; !rs.eof(); rs.MoveNext()) {
            QStringList values;
            for (const QString& column : columns)
                values << text(rs.Fields(column).Value());
            rows << values.join(u'|');
        }
        rows.sort();
        state << rows << QString::number(db.nextKey(QLatin1String(table)));
    }
    return state;
}

class HistoryCopy : public ::testing::Test {
protected:
    QString fileSide(const QString& name) const
    {
        return QStringLiteral("provider=microsoft.jet.oledb.4.0;data source=") + env.root() + u'/' + name;
    }
    QString serverSide() const
    {
        return data::serverConnectionString(testing_support::conninfoOf(testing_support::freshPgDatabase()));
    }

    // A ledger file with steps of every kind: rows added, changed and deleted, an
    // import's keys, a step undone; and a change made outside any step.
    void makeFirst()
    {
        ASSERT_TRUE(QFile::copy(QStringLiteral(TALLYFOLD_TEMPLATE), env.root() + QStringLiteral("/first.mdb")));
        QFile::setPermissions(env.root() + QStringLiteral("/first.mdb"), QFile::ReadOwner | QFile::WriteOwner);
        Connection db;
        db.Open(fileSide(QStringLiteral("first.mdb")));
        data::History& history = *db.history();
        const auto step = [&](const QString& label, const QStringList& statements) {
            history.begin(label);
            for (const QString& sql : statements)
                db.Execute(sql);
            history.end();
        };
        step(QStringLiteral("Add Account"), {QStringLiteral("insert into Accounts (AccountName) values ('O''Brien')")});
        step(QStringLiteral("Import"),
             {QStringLiteral("insert into Transactions (TransactionDate, TransactionDescription, AccountID, "
                             "WithdrawalAmount, DepositAmount, Taxable) values "
                             "(#02/29/2024#, 'a \"quoted\" ''text''', 1, 0.1, Null, True), "
                             "(#12/31/1999 23:59:58#, Null, 1, 12345678901234.56, -0.5, False), "
                             "(Null, 'no date', 1, Null, 1e-7, Null)"),
              QStringLiteral("insert into ImportKeys (AccountID, ImportKey, KeyDate, KeyCents, TransactionNumber) "
                             "values (1, 'fitid:X1', '2024-02-29', -1234, 1)")});
        db.Execute(QStringLiteral("insert into Accounts (AccountName) values ('no step')"));
        step(QStringLiteral("Edit"), {QStringLiteral("update Transactions set DepositAmount = 3.25, Taxable = False "
                                                     "where TransactionNumber = 1")});
        step(QStringLiteral("Delete"), {QStringLiteral("delete from Transactions where TransactionNumber = 3")});
        step(QStringLiteral("Rename"), {QStringLiteral("update Accounts set AccountName = 'Rent' where AccountID = 1")});
        ASSERT_TRUE(history.undo());
    }

    testing_support::TestEnvironment env;   // the program folder with the empty ledger a copy starts from
};

TEST_F(HistoryCopy, StepsTravelToAFileAServerAnotherServerAndBackAndUndoAndRedoAlikeOnEach)
{
    makeFirst();
    const QString first = fileSide(QStringLiteral("first.mdb"));
    const QString server = serverSide(), again = serverSide();
    const QString last = fileSide(QStringLiteral("last.mdb"));
    EXPECT_EQ(data::copyLedger(first, server).steps, 5);
    data::copyLedger(server, again);
    data::copyLedger(again, last);
    const QString direct = fileSide(QStringLiteral("direct.mdb"));
    data::copyLedger(first, direct);

    constexpr int kLedgers = 5;
    Connection ledgers[kLedgers];
    for (int l = 0; l < kLedgers; ++l)
        ledgers[l].Open(QStringList{first, server, again, last, direct}[l]);
    const auto steps = [&](int l) { return ledgers[l].backend()->exportHistory(); };
    const QStringList original = described(steps(0), false);
    ASSERT_EQ(original.filter(QStringLiteral("(undone)")).size(), 1);
    for (int l = 1; l < kLedgers; ++l)
        EXPECT_EQ(described(steps(l), false), original) << "ledger " << l;
    // On a server, the file's steps are the copying desktop's; from one server to
    // another each keeps whose and when it was.
    const auto* onServer = dynamic_cast<data::postgres::ServerBackend*>(ledgers[1].backend());
    ASSERT_TRUE(onServer);
    for (const HistoryStep& step : steps(1)) {
        EXPECT_EQ(step.desktop, onServer->desktop());
        EXPECT_EQ(step.role, QStringLiteral("postgres"));
        EXPECT_TRUE(step.madeAt.isValid());
    }
    EXPECT_EQ(described(steps(2), true), described(steps(1), true));
    EXPECT_EQ(described(steps(3), true), described(steps(0), true));
    EXPECT_EQ(described(steps(4), true), described(steps(0), true));

    // Each move on every ledger alike: the rows, their numbers and the counters.
    const auto same = [&](const char* after) {
        const QStringList state = ledgerState(ledgers[0]);
        for (int l = 1; l < kLedgers; ++l)
            EXPECT_EQ(ledgerState(ledgers[l]), state) << "ledger " << l << " after " << after;
    };
    same("the copy");
    const auto move = [&](bool back, const QString& label) {
        for (Connection& db : ledgers) {
            const auto moved = back ? db.history()->undo() : db.history()->redo();
            ASSERT_TRUE(moved);
            EXPECT_EQ(moved->label, label);
        }
    };
    move(false, QStringLiteral("Rename"));
    same("redoing the rename");
    for (const char* label : {"Rename", "Delete", "Edit", "Import"})
        move(true, QString::fromLatin1(label));
    same("undoing four steps");
    move(false, QStringLiteral("Import"));
    move(false, QStringLiteral("Edit"));
    same("redoing two");
    for (Connection& db : ledgers)
        db.Execute(QStringLiteral("insert into Transactions (AccountID, DepositAmount, Taxable) values (1, 9, False)"));
    same("a row added");
}

TEST_F(HistoryCopy, AStepOfThousandsOfRowsTravelsWholeAndInOrder)
{
    const int rows = qEnvironmentVariableIntValue("TALLYFOLD_HISTORY_COPY_ROWS") ?: 2500;
    ASSERT_TRUE(QFile::copy(QStringLiteral(TALLYFOLD_TEMPLATE), env.root() + QStringLiteral("/first.mdb")));
    QFile::setPermissions(env.root() + QStringLiteral("/first.mdb"), QFile::ReadOwner | QFile::WriteOwner);
    const QString first = fileSide(QStringLiteral("first.mdb"));
    QStringList original;
    {
        Connection db;
        db.Open(first);
        QStringList values;
        for (int r = 0; r < rows; ++r)
            values << QStringLiteral("(#01/02/2024#, 'row %1', 1, Null, %1.5, False)").arg(r);
        db.history()->begin(QStringLiteral("Import"));
        db.Execute(QStringLiteral("insert into Accounts (AccountName) values ('Bank')"));
        db.Execute(QStringLiteral("insert into Transactions (TransactionDate, TransactionDescription, AccountID, "
                                  "WithdrawalAmount, DepositAmount, Taxable) values ")
                   + values.join(u','));
        db.history()->end();
        original = ledgerState(db);
    }
    const QString server = serverSide();
    QElapsedTimer timer;
    timer.start();
    data::copyLedger(first, server);
    const qint64 there = timer.restart();
    data::copyLedger(server, fileSide(QStringLiteral("last.mdb")));
    std::printf("%d rows' step copied to a server in %lld ms, back to a file in %lld ms\n", rows, there,
                timer.elapsed());
    Connection copies[2];
    copies[0].Open(server);
    copies[1].Open(fileSide(QStringLiteral("last.mdb")));
    Connection source;
    source.Open(first);
    const QStringList steps = described(source.backend()->exportHistory(), false);
    ASSERT_EQ(steps.size(), rows + 2);
    for (Connection& copy : copies) {
        EXPECT_EQ(described(copy.backend()->exportHistory(), false), steps);
        ASSERT_TRUE(copy.history()->undo());
        EXPECT_EQ(ledgerState(copy), (QStringList{QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")}));
        ASSERT_TRUE(copy.history()->redo());
        EXPECT_EQ(ledgerState(copy), original);
    }
}

TEST_F(HistoryCopy, AStepTheTargetCannotKeepStopsTheCopyAndLeavesNothing)
{
    makeFirst();
    const QString path = env.root() + QStringLiteral("/first.mdb");
    const auto tamper = [&](const char* sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    };
    // A date another program wrote into the log as no date: a server's row cannot hold it.
    tamper("update UndoSteps set A1 = 'someday' where Label = 'Edit'");
    const QString database = testing_support::freshPgDatabase();
    try {
        data::copyLedger(fileSide(QStringLiteral("first.mdb")),
                         data::serverConnectionString(testing_support::conninfoOf(database)));
        ADD_FAILURE() << "copied";
    } catch (const platform::DbError& e) {
        EXPECT_TRUE(e.description().startsWith(QStringLiteral("The undo history's step \"Edit\" could not be copied: ")))
            << e.description().toStdString();
    }
    // What the failed copy left holds nothing, and so takes the copy once the step is right.
    EXPECT_EQ(testing_support::serverRows(QStringLiteral("select (select count(*) from accounts) + (select count(*) from "
                                                         "transactions) + (select count(*) from undosteps) + (select "
                                                         "count(*) from undolog)"),
                                          database),
              "0");
    tamper("update UndoSteps set A1 = '2024-02-29' where Label = 'Edit'");
    EXPECT_EQ(data::copyLedger(fileSide(QStringLiteral("first.mdb")),
                               data::serverConnectionString(testing_support::conninfoOf(database)))
                  .steps,
              5);

    // A table the history does not know: no file keeps it either.
    tamper("update UndoSteps set TableName = 'Budgets' where Label = 'Edit'");
    EXPECT_THROW(data::copyLedger(fileSide(QStringLiteral("first.mdb")), fileSide(QStringLiteral("copy.mdb"))),
                 platform::DbError);
    EXPECT_FALSE(QFile::exists(env.root() + QStringLiteral("/copy.mdb")));
}

TEST_F(HistoryCopy, AFileTakesTheStepsOfEveryDesktopInOrderButNoUndoneOneAStepWasMadeOver)
{
    // Two desktops' steps as a server keeps them: the one undone below another
    // desktop's newer step could never be redone in a file's single line of steps.
    const auto step = [](const char* label, bool undone, const char* desktop, qint64 key) {
        HistoryStep s;
        s.label = QString::fromLatin1(label);
        s.undone = undone;
        s.desktop = QString::fromLatin1(desktop);
        s.changes.push_back({QStringLiteral("Accounts"), key, std::nullopt, QVariantList{QString::fromLatin1(label)}});
        return s;
    };
    const std::vector<HistoryStep> steps{step("A1", false, "a", 1), step("B1", true, "b", 2),
                                         step("A2", false, "a", 3), step("B2", true, "b", 4)};
    ASSERT_TRUE(QFile::copy(QStringLiteral(TALLYFOLD_TEMPLATE), env.root() + QStringLiteral("/file.mdb")));
    QFile::setPermissions(env.root() + QStringLiteral("/file.mdb"), QFile::ReadOwner | QFile::WriteOwner);
    Connection db;
    db.Open(fileSide(QStringLiteral("file.mdb")));
    db.BeginTrans();
    db.backend()->importHistory(steps);
    db.CommitTrans();
    QStringList labels;
    for (const HistoryStep& kept : db.backend()->exportHistory())
        labels << kept.label + (kept.undone ? QStringLiteral(" (undone)") : QString());
    EXPECT_EQ(labels, (QStringList{QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("B2 (undone)")}));
    EXPECT_EQ(db.history()->nextUndo()->label, QStringLiteral("A2"));
    EXPECT_EQ(db.history()->nextRedo()->label, QStringLiteral("B2"));
}

} // namespace
