#include "tests/editor/EditorFixture.h"

#include "editor/Form2.h"

#include <QApplication>
#include <QTest>
#include <sqlite3.h>

void EditorTest::SetUp()
{
    env.openLedger();
}

qint64 EditorTest::addAccount(const QString& name)
{
    env.sqlite(QStringLiteral("insert into Accounts (AccountName) values ('%1')").arg(name));
    return scalar(QStringLiteral("select max(AccountID) from Accounts")).toLongLong();
}

qint64 EditorTest::addTransaction(const QString& values)
{
    env.sqlite(QStringLiteral("insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                              "WithdrawalAmount,DepositAmount,Taxable) values (%1)")
                   .arg(values));
    return scalar(QStringLiteral("select max(TransactionNumber) from Transactions")).toLongLong();
}

QList<QStringList> EditorTest::query(const QString& sql) const
{
    QList<QStringList> rows;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(env.workingDatabase().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        QStringList row;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            const auto* text = sqlite3_column_text(stmt, c);
            row << (text ? QString::fromUtf8(reinterpret_cast<const char*>(text)) : QStringLiteral("NULL"));
        }
        rows << row;
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

QString EditorTest::scalar(const QString& sql) const
{
    const auto rows = query(sql);
    return rows.isEmpty() ? QString() : rows.front().front();
}

int EditorTest::count(const QString& table) const
{
    return scalar(QStringLiteral("select count(*) from ") + table).toInt();
}

void EditorTest::showActive(editor::Form2& form)
{
    form.show();
    form.activateWindow();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
}
