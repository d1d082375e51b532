#pragma once
// A fresh world for the main window's tests: temporary data folder, settings and
// program folder, scripted message boxes, the window itself, and an independent look
// at what the ledger file really holds.

#include "main/Form1.h"
#include "tests/support/ModalWindow.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/LedgerEnvironment.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

// The transaction values of a row dated 2024-03-05 for account id, with these amounts
// (SQL text, "null" allowed) and taxable flag.
QString transactionValues(const QString& description, qint64 account, const QString& withdrawal,
                          const QString& deposit, const QString& taxable = QStringLiteral("0"),
                          const QString& date = QStringLiteral("'2024-03-05'"));

class MainWindowTest : public ::testing::Test {
protected:
    // Start-up draws no 7, so the maker's home page never opens unless a test asks.
    MainWindowTest() { mainwindow::Form1::setRandomSource([] { return 0.5; }); }
    ~MainWindowTest() override { mainwindow::Form1::setRandomSource(nullptr); }
    void TearDown() override;

    // Puts the working file in place, closed, as an earlier run would have left it,
    // so rows can be seeded before start-up.
    void prepareLedger();
    // Start-up as the program runs it, before the window is shown.
    void start() { form.Form_Load(); }
    // Closes the window as its close box does. That ends the program by asking the
    // application to quit; with no event loop running, the request would stay pending
    // and end every later modal window at once, so it is consumed here.
    static void closeWindow(mainwindow::Form1& window);

    // The texts of one list column, top to bottom as shown.
    QStringList column(int index) const;
    // The three visible captions and the three plain ones, in that order.
    QStringList summary() const;

    // Acts on the next modal window as soon as its exec() is running, the way a person
    // would answer it; modalSeen() tells afterwards whether one came.
    void whenModal(std::function<void(QWidget*)> act) { m_modal.whenShown(std::move(act)); }
    bool modalSeen() const { return m_modal.seen(); }

    // Runs the rest of the test under another default locale.
    void useLocale(const QLocale& locale);

    testing_support::LedgerEnvironment env;
    testing_support::ScriptedDialogs dialogs;
    mainwindow::Form1 form;

private:
    testing_support::ModalWindow m_modal;
    std::optional<QLocale> m_savedLocale;
};


// The same world with a ledger holding one account, "Household", to book rows to.
class HouseholdTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        prepareLedger();
        account = env.addAccount(QStringLiteral("Household"));
    }
    qint64 add(const QString& description, const QString& withdrawal = QStringLiteral("1"),
               const QString& deposit = QStringLiteral("0"), const QString& taxable = QStringLiteral("0"),
               const QString& date = QStringLiteral("'2024-03-05'"))
    {
        return env.addTransaction(transactionValues(description, account, withdrawal, deposit, taxable, date));
    }
    qint64 account = 0;
};
