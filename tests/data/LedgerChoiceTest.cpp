// Which ledger the program opens, and a whole ledger copied between ledgers.
#include "data/Connection.h"
#include "data/Ledger.h"
#include "data/LedgerCopy.h"
#include "platform/Settings.h"
#include "tests/support/LedgerEnvironment.h"

#include <QFile>
#include <gtest/gtest.h>

using testing_support::LedgerEnvironment;
using testing_support::ScopedVariable;

namespace {
QByteArray settingsText(const LedgerEnvironment& env)
{
    QFile file(env.configHome() + QStringLiteral("/Marlowick/Tallyfold.conf"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

TEST(LedgerChoice, AServerChosenIsNotKeptBeforeItOpensAndTheEnvironmentChoosesForOneRunOnly)
{
    LedgerEnvironment env;
    ScopedVariable variable("TALLYFOLD_LEDGER");
    EXPECT_FALSE(data::serverLedgerChosen());

    // Kept only once it has opened a ledger (tests/data/postgres: ServerLedgerChoice).
    data::chooseLedger(QStringLiteral("host=db.example dbname=household user=ann password='s3cr et'"), true);
    EXPECT_TRUE(data::connectionString().contains(QStringLiteral("password='s3cr et'")));   // for this run
    EXPECT_TRUE(data::serverLedgerChosen());
    EXPECT_FALSE(settingsText(env).contains("household"));

    // "file" goes back to the file, in the settings too.
    data::chooseLedger(QStringLiteral("file"), true);
    EXPECT_FALSE(data::serverLedgerChosen());
    EXPECT_EQ(platform::settings::get(QStringLiteral("Ledger"), QString()), QStringLiteral("file"));
    EXPECT_TRUE(data::connectionString().contains(env.workingDatabase()));
}

TEST(LedgerCopy, AFileCopiesValueForValueWithItsCountersAndNeverOverAnotherLedger)
{
    LedgerEnvironment env;
    env.openLedger();
    const qint64 rent = env.addAccount(QStringLiteral("Rent"));
    env.addAccount(QStringLiteral("Gone"));
    env.sqlite(QStringLiteral("delete from Accounts where AccountName = 'Gone'"));
    env.addTransaction(QStringLiteral("'2024-03-05','O''Brien',%1,12345678901234.56,NULL,1").arg(rent));
    env.addTransaction(QStringLiteral("'2024-03-06 10:20:30','a'||char(0)||'b',%1,0.1,2,0").arg(rent));
    env.addTransaction(QStringLiteral("NULL,NULL,%1,NULL,NULL,NULL").arg(rent));
    env.sqlite(QStringLiteral("insert into ImportKeys (AccountID, ImportKey, KeyDate, KeyCents, TransactionNumber) "
                              "values (1, 'fitid:9', '2024-03-05', -1234, 1)"));
    env.sqlite(QStringLiteral("update sqlite_sequence set seq = 40 where name = 'Transactions'"));

    const QString copy = env.root() + QStringLiteral("/copy.mdb");
    const data::CopyCount count =
        data::copyLedger(data::connectionString(), data::copySideConnectionString(copy));
    EXPECT_EQ(count.accounts, 1);
    EXPECT_EQ(count.transactions, 3);
    EXPECT_EQ(count.importKeys, 1);
    // Taxable Null is No wherever the program reads it, and is copied as No.
    const auto dump = [&](const QString& file) {
        const QString tables = QStringLiteral(
            "select AccountID, AccountName from Accounts; select TransactionNumber, TransactionDate, "
            "hex(TransactionDescription), AccountID, WithdrawalAmount, DepositAmount, coalesce(Taxable, 0), "
            "typeof(WithdrawalAmount) from Transactions; select * from ImportKeys; select name, seq from sqlite_sequence "
            "order by name");
        std::string all;
        for (const QString& sql : tables.split(QStringLiteral("; ")))
            all += env.rowsOf(file, sql) + "\n";
        return all;
    };
    EXPECT_EQ(dump(copy), dump(env.workingDatabase()));
    EXPECT_NE(dump(copy).find("Transactions|40"), std::string::npos);

    // A target that holds anything is refused and left as it was.
    const QByteArray before = testing_support::fileHash(copy);
    EXPECT_THROW(data::copyLedger(data::connectionString(), data::copySideConnectionString(copy)), platform::DbError);
    EXPECT_EQ(testing_support::fileHash(copy), before);
}
