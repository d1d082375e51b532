#include "tests/editor/EditorFixture.h"

#include "editor/Form2.h"

#include <QApplication>
#include <QTest>
#include <sqlite3.h>

qint64 EditorTest::addAccount(const QString& name)
{
    env.sqlite(QStringLiteral("insert into Accounts (AccountName) values ('%1')").arg(name));
    return std::stoll(rows(QStringLiteral("select max(AccountID) from Accounts")));
}

qint64 EditorTest::addTransaction(const QString& values)
{
    env.sqlite(QStringLiteral("insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                              "WithdrawalAmount,DepositAmount,Taxable) values (%1)").arg(values));
    return std::stoll(rows(QStringLiteral("select max(TransactionNumber) from Transactions")));
}

std::string EditorTest::rows(const QString& sql) const
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(env.workingDatabase().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    std::string out;
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        out += out.empty() ? "" : "; ";
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
            out += (c ? "|" : "") + std::string(text ? text : "NULL");
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out;
}

void EditorTest::showActive(editor::Form2& form)
{
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
}
