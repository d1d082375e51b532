#pragma once
// The window "Restore a Backup…" opens: the ledger's backups, newest first, with the
// time each was made, how many transactions it holds and its size. The user picks one;
// the main window asks and restores.

#include "data/Restore.h"

#include <QDialog>
#include <optional>
#include <vector>

class QPushButton;
class QTreeWidget;

namespace mainwindow {

class RestoreDialog : public QDialog {
    Q_OBJECT
public:
    explicit RestoreDialog(std::vector<data::BackupEntry> backups, QWidget* parent = nullptr);

    // The backup chosen when the window was closed with "Restore".
    std::optional<data::BackupEntry> chosen() const;

    QTreeWidget* List1;
    QPushButton* cmdRestore;
    QPushButton* cmdCancel;

private:
    std::vector<data::BackupEntry> m_backups;
};

} // namespace mainwindow
