#include "main/RestoreDialog.h"

#include "shell/Twips.h"
#include "shell/WindowChrome.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace mainwindow {

RestoreDialog::RestoreDialog(std::vector<data::BackupEntry> backups, QWidget* parent)
    : QDialog(parent), m_backups(std::move(backups))
{
    setObjectName(QStringLiteral("RestoreDialog"));
    shell::setDialogFrame(this);
    setWindowTitle(QStringLiteral("Restore a Backup"));
    setWindowIcon(shell::programIcon());
    setFont(shell::windowFont());

    auto* note = new QLabel(QStringLiteral("Choose the backup to put in the place of the ledger:"), this);
    List1 = new QTreeWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setRootIsDecorated(false);
    List1->setUniformRowHeights(true);
    List1->setHeaderLabels({QStringLiteral("Made"), QStringLiteral("Transactions"), QStringLiteral("Size")});
    const QLocale locale;
    for (const data::BackupEntry& backup : m_backups) {
        auto* row = new QTreeWidgetItem(List1);
        row->setText(0, data::backupTimeText(backup.taken));
        row->setText(1, backup.transactions ? locale.toString(*backup.transactions) : QStringLiteral("cannot be read"));
        row->setText(2, locale.formattedDataSize(backup.bytes));
        row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    for (int column = 0; column < List1->columnCount(); ++column)
        List1->resizeColumnToContents(column);
    List1->setCurrentItem(List1->topLevelItem(0));
    List1->setFocus();
    List1->setMinimumWidth(List1->header()->length() + 2 * List1->frameWidth() + 40);

    auto* buttons = new QDialogButtonBox(this);
    cmdRestore = buttons->addButton(QStringLiteral("Restore"), QDialogButtonBox::AcceptRole);
    cmdCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cmdRestore->setObjectName(QStringLiteral("cmdRestore"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(List1, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(List1, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { cmdRestore->setEnabled(current != nullptr); });
    cmdRestore->setEnabled(List1->currentItem() != nullptr);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(note);
    layout->addWidget(List1);
    layout->addWidget(buttons);
}

std::optional<data::BackupEntry> RestoreDialog::chosen() const
{
    const int row = List1->indexOfTopLevelItem(List1->currentItem());
    if (result() != QDialog::Accepted || row < 0)
        return std::nullopt;
    return m_backups[size_t(row)];
}

} // namespace mainwindow
