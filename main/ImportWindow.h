#pragma once
// "Import Statement": what importing one statement file would do, row by row, before
// anything is written. The user picks the account (remembered for the file's source,
// else found from what the statement says of its account; never guessed), or makes a
// new one, answers the date order when the file does not tell it, ticks the rows
// matching ones typed by hand that are to be added as well, and imports in one step or
// cancels. A file of several accounts' statements shows each with its own account box,
// and imports them all in one step.

#include "importing/ImportPlan.h"
#include "importing/StatementFile.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QPushButton;
class QTableWidget;

namespace mainwindow {

class ImportWindow : public QDialog {
public:
    explicit ImportWindow(const QString& file, QWidget* parent = nullptr);

    // After Import: what was done ("N added, M already in the ledger, K not readable"),
    // for the message the main window shows; "" while nothing was written.
    QString outcome() const { return m_outcome; }

    // The account box and "New Account…" of each account's statement (one for most files).
    int statementCount() const { return int(m_accountBoxes.size()); }
    QComboBox* accountBox(int statement = 0) const { return m_accountBoxes.value(statement); }
    QPushButton* newAccountButton(int statement = 0) const { return m_newAccountButtons.value(statement); }
    QComboBox* dateOrderBox() const { return m_dateOrder; }
    // Ticks (or unticks) every possible match: a ticked one is added as a row of its own.
    QCheckBox* addMatchesBox() const { return m_addMatches; }
    QTableWidget* rows() const { return m_rows; }
    QLabel* summary() const { return m_summary; }
    QPushButton* importButton() const { return m_import; }
    QPushButton* cancelButton() const { return m_cancel; }

    // The status texts of the rows, top to bottom.
    QStringList statuses() const;

    // The CSV mapping, shown for CSV files alone: a column (or none) for each role.
    enum class Role { Date, Amount, Withdrawal, Deposit, Indicator, Description };
    QComboBox* columnBox(Role role) const { return m_columns[int(role)]; }
    QCheckBox* invertSignsBox() const { return m_invert; }

private:
    void readFile();
    void addAccountRows(QFormLayout* form);
    void fillAccountBoxes();
    void chooseAccounts();
    void newAccount(int statement);
    void replan();
    void planStatements();
    void showRows();
    void importNow();
    void showMapping();
    int tickedMatches() const;
    void enableImport();
    void mappingChanged();
    // Runs a handler the window's signals start: what it throws is told here, never
    // let through the event loop.
    void safely(const std::function<void()>& handler);

    QString m_file;
    QString m_fileName;
    QList<importing::AccountStatement> m_statements;
    QList<importing::ImportPlan> m_plans;         // one per statement, once planned
    QList<importing::LedgerAccount> m_accounts;   // the ledger's, by name
    QString m_pattern;                            // the list's currency format
    QString m_outcome;
    QString m_trouble;                            // why the ledger could not be read, "" when it could
    std::optional<importer::CsvProfile> m_mapping;   // the user's own, once changed here
    QWidget* m_mappingRow;
    QLabel* m_mappingLabel;
    QComboBox* m_columns[6];
    QCheckBox* m_invert;

    QList<QComboBox*> m_accountBoxes;
    QList<QPushButton*> m_newAccountButtons;
    QComboBox* m_dateOrder;
    QLabel* m_dateOrderLabel;
    QCheckBox* m_addMatches;
    QTableWidget* m_rows;
    QLabel* m_summary;
    QPushButton* m_import;
    QPushButton* m_cancel;
};

} // namespace mainwindow
