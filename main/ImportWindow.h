#pragma once
// "Import Statement": what importing one statement file would do, row by row, before
// anything is written. The user picks the account (remembered for the file's source),
// answers the date order when the file does not tell it, chooses whether rows matching
// ones typed by hand are added as well, and imports in one step or cancels.

#include "importer/Statement.h"
#include "importing/ImportPlan.h"

#include <QDialog>
#include <QString>

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
    QCheckBox* addMatchesBox() const { return m_addMatches; }
    QTableWidget* rows() const { return m_rows; }
    QLabel* summary() const { return m_summary; }
    QPushButton* importButton() const { return m_import; }
    QPushButton* cancelButton() const { return m_cancel; }

    // The status texts of the rows, top to bottom.
    QStringList statuses() const;

private:
    void readFile();
    void replan();
    void importNow();

    QString m_file;
    importer::Statement m_statement;
    importing::ImportPlan m_plan;
    QString m_outcome;

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
