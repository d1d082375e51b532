#pragma once
// The transaction editor: a modal window that creates a new ledger transaction
// (m_ID empty) or changes the one whose number m_ID holds, and where accounts are
// added and deleted. The caller sets m_ID and the caption, then calls showModal();
// it learns nothing back and reloads its own list afterwards.

#include <QDialog>
#include "editor/DateBox.h"
#include "editor/EditConflict.h"

#include <QString>
#include <optional>
#include <array>
#include <vector>

class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace shell {
class ErrorTrap;
}

namespace editor {

class Form2 : public QDialog {
    Q_OBJECT
public:
    explicit Form2(QWidget* parent = nullptr);

    // The transaction to edit, as the main list shows its number; empty for a new one.
    QString m_ID;
    // AccountIDs[i] is the AccountID of Combo1's entry i.
    std::vector<qint32> AccountIDs;

    // Clears the fields, fills the account list and, when editing, the transaction.
    void Form_Load();
    // Refills Combo1 and AccountIDs from the Accounts table, with nothing selected.
    void LoadAccounts();
    // Fills the fields from the transaction numbered m_ID.
    void LoadData();

    void PushButton1_Click(); // Cancel
    void PushButton2_Click(); // OK: save
    void PushButton5_Click(); // "+": add an account
    void PushButton6_Click(); // "-": delete the selected account and its transactions

    void Text2_GotFocus();
    void Text2_LostFocus();
    void Text3_GotFocus();
    void Text3_LostFocus();

    // Runs Form_Load, then shows the window modally until it has been unloaded.
    void showModal();
    bool isUnloaded() const { return m_unloaded; }

    // The controls, under their designer names.
    DateBox* const DateTimePicker1;
    QComboBox* const Combo1;
    QPushButton* const PushButton5;
    QPushButton* const PushButton6;
    QLineEdit* const Text1;
    QLineEdit* const Text2;
    QLineEdit* const Text3;
    QGroupBox* const Frame1;
    QRadioButton* const Option1;
    QRadioButton* const Option2;
    QPushButton* const PushButton2;
    QPushButton* const PushButton1;
    // The label arrays: Label1 has indexes 0-2, lblDetails 4 and 5.
    QLabel* Label1(int index) const;
    QLabel* lblDetails(int index) const;

    // Escape and the close box act as "Cancel".
    void reject() override;

    // Someone else changed the ledger while the window is open: when it was this
    // transaction, a notice says so over the top of the window, moving nothing.
    void othersChanged();
    // The notice, hidden while there is none.
    QLabel* changedNotice() const { return m_notice; }

protected:
    // Enter acts as "OK", or presses the button that has the focus.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layOut();
    void unload();
    // The AccountID of the account chosen in Combo1: AccountIDs at its list index.
    qint32 selectedAccountId() const;
    // The undo step's name for deleting the chosen account with its transactions.
    QString accountDeletionStep() const;
    static void selectWholeText(QLineEdit* box);
    static void zeroUnlessNumeric(QLineEdit* box);

    std::array<QLabel*, 3> m_Label1{};
    std::array<QLabel*, 2> m_lblDetails{};
    bool m_unloaded = false;
    // The transaction as LoadData read it; a Save goes through only while it is so.
    std::optional<StoredTransaction> m_read;
    QLabel* m_notice = nullptr;
    // The row edited now, read again: nullopt when it is gone.
    std::optional<StoredTransaction> readAgain();
    static bool accountExists(qint32 accountId);
    // Saves an edit over the row as last read; when the row changed meanwhile, merges
    // with it and saves that. False when nothing was saved (and the user was told why).
    bool saveEdit(shell::ErrorTrap& trap, QString& sql, TransactionValues toSave);
    // After a Save that changed no row: the user's values merged with the row as it is
    // now (asking only about a field both changed), which becomes what a Save must find;
    // nullopt when there is nothing to save over (told why).
    std::optional<TransactionValues> mergeWithTheirs(const TransactionValues& yours);
};

} // namespace editor
