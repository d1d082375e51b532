#pragma once
// "Import Statement": what importing one statement file would do, row by row, before
// anything is written. The user picks the account (remembered for the file's source),
// answers the date order when the file does not tell it, ticks the rows matching ones
// typed by hand that are to be added as well, and imports in one step or cancels.

#include "importer/Statement.h"
#include "importing/ImportPlan.h"

#include <QDialog>
#include <QString>
#include <optional>

class QCheckBox;
class QComboBox;
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

    QComboBox* accountBox() const { return m_account; }
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
    void replan();
    void importNow();
    void showMapping();
    int tickedMatches() const;
    void enableImport();
    void mappingChanged();

    QString m_file;
    importer::Statement m_statement;
    importing::ImportPlan m_plan;
    QString m_outcome;
    std::optional<importer::CsvProfile> m_mapping;   // the user's own, once changed here
    QWidget* m_mappingRow;
    QComboBox* m_columns[6];
    QCheckBox* m_invert;

    QComboBox* m_account;
    QComboBox* m_dateOrder;
    QLabel* m_dateOrderLabel;
    QCheckBox* m_addMatches;
    QTableWidget* m_rows;
    QLabel* m_summary;
    QPushButton* m_import;
    QPushButton* m_cancel;
};

} // namespace mainwindow
