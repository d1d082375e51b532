// The main window's keys, the list's context menu, and the undo, redo and restore
// they offer. None of it moves the window's layout.
#include "main/Form1.h"

#include "data/Backups.h"
#include "data/Ledger.h"
#include "data/LedgerMessages.h"
#include "data/Restore.h"
#include "data/Undo.h"
#include "main/RestoreDialog.h"
#include "shell/Dialogs.h"
#include "shell/ErrorTrap.h"

#include <QShortcut>

namespace mainwindow {

namespace {

// A menu entry's text: a step's label as it stands ("&" is no mnemonic), and the key
// that does the same.
QString entryText(const QString& command, const QString& label, const QString& key)
{
    const QString text = label.isEmpty() ? command : command + u' ' + QString(label).replace(u'&', QStringLiteral("&&"));
    return text + u'\t' + key;
}

// The commands' keys, as the menu shows them. Enter (and a double-click) edits the
// list's current row.
constexpr const char* kEditKey = "Enter";
constexpr const char* kAddKey = "Ctrl+N";
constexpr const char* kDeleteKey = "Del";
constexpr const char* kDuplicateKey = "Ctrl+D";
constexpr const char* kReportKey = "Ctrl+P";
constexpr const char* kHelpKey = "F1";

} // namespace

void Form1::makeListMenu()
{
    mnuList = new QMenu(this);
    mnuList->setObjectName(QStringLiteral("mnuList"));
    mnuUndo = mnuList->addAction(QString(), this, &Form1::mnuUndo_Click);
    mnuRedo = mnuList->addAction(QString(), this, &Form1::mnuRedo_Click);
    mnuList->addSeparator();
    // Each command as its button offers it, with the key that does the same.
    const auto command = [this](const QString& caption, const char* key, QPushButton* button) {
        return mnuList->addAction(entryText(caption, QString(), QString::fromLatin1(key)), button,
                                  &QAbstractButton::click);
    };
    mnuEdit = command(QStringLiteral("Edit Selected"), kEditKey, PushButton1);
    mnuAdd = command(QStringLiteral("Add New"), kAddKey, PushButton2);
    mnuDelete = command(QStringLiteral("Delete Selected"), kDeleteKey, PushButton3);
    mnuDuplicate = command(QStringLiteral("Duplicate Selected"), kDuplicateKey, PushButton4);
    mnuList->addSeparator();
    mnuRestore = mnuList->addAction(QStringLiteral("Restore a Backup") + QChar(0x2026), this, &Form1::mnuRestore_Click);
    updateListMenu();

    // Right-click and the Menu key both ask for the context menu.
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView1, &QWidget::customContextMenuRequested, this, &Form1::ListView1_ContextMenu);
    const auto key = [this](const char* sequence, void (Form1::*handler)()) {
        connect(new QShortcut(QKeySequence(QString::fromLatin1(sequence)), this), &QShortcut::activated, this, handler);
    };
    key("Ctrl+Z", &Form1::mnuUndo_Click);
    key("Ctrl+Shift+Z", &Form1::mnuRedo_Click);
    key("Ctrl+Y", &Form1::mnuRedo_Click);

    // The commands' keys press their buttons: a key does what its button does, and
    // nothing while the button is disabled. Delete and Enter act on the list's row,
    // so they belong to the list.
    const auto press = [](QWidget* scope, const char* sequence, QPushButton* button) {
        auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(sequence)), scope);
        shortcut->setContext(scope->isWindow() ? Qt::WindowShortcut : Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, button, &QAbstractButton::click);
    };
    press(this, kAddKey, PushButton2);
    press(this, kDuplicateKey, PushButton4);
    press(this, kReportKey, PushButton5);
    press(this, kHelpKey, PushButton8);
    press(ListView1, kDeleteKey, PushButton3);
    connect(ListView1, &TransactionList::editRequested, PushButton1, &QAbstractButton::click);
}

void Form1::updateListMenu()
{
    // The file's history is shared with other processes: a step one made is named only
    // once the list shows its rows.
    if (data::hasConnection())
        data::connection().catchUpWithOthers();
    const QString undo = data::undoLabel(), redo = data::redoLabel();
    mnuUndo->setText(entryText(QStringLiteral("Undo"), undo, QStringLiteral("Ctrl+Z")));
    mnuUndo->setEnabled(!undo.isEmpty());
    mnuRedo->setText(entryText(QStringLiteral("Redo"), redo, QStringLiteral("Ctrl+Y")));
    mnuRedo->setEnabled(!redo.isEmpty());
}

void Form1::ListView1_ContextMenu(const QPoint& position)
{
    updateListMenu();
    mnuList->popup(ListView1->viewport()->mapToGlobal(position));
}

void Form1::mnuUndo_Click()
{
    moveThroughHistory("mnuUndo_Click", &data::undo);
}

void Form1::mnuRedo_Click()
{
    moveThroughHistory("mnuRedo_Click", &data::redo);
}

void Form1::moveThroughHistory(const char* procedure, data::HistoryMove (*step)())
{
    auto trap = trapFor(procedure);
    data::HistoryMove move;
    if (data::hasConnection())
        data::connection().catchUpWithOthers();   // the step moved is one the list shows
    trap.run(100, [&] { move = step(); });
    if (trap.test(102, [&] { return !move.refusal.isEmpty(); }))
        trap.run(104, [&] { platform::Dialogs::current().MsgBox(move.refusal, platform::vbExclamation); });
    if (trap.test(106, [&] { return move.moved; }))
        trap.run(108, [&] { reloadInPlace(Changed::Current, move.transaction); });
}

void Form1::mnuRestore_Click()
{
    auto trap = trapFor("mnuRestore_Click");
    auto& dialogs = platform::Dialogs::current();
    // A server ledger has no backup files here: the server's own are the way back.
    if (trap.test(96, [] { return !data::connection().capabilities().fileBackups; })) {
        trap.run(98, [&] { dialogs.MsgBox(data::serverBackupsMessage(data::connection().title())); });
        return;
    }
    std::vector<data::BackupEntry> backups;
    trap.run(100, [&] { backups = data::listBackups(); });
    if (trap.test(102, [&] { return backups.empty(); })) {
        trap.run(104, [&] { dialogs.MsgBox(data::noBackupsMessage(data::backupFolder(data::workingDatabasePath()))); });
        return;
    }
    std::optional<data::BackupEntry> chosen;
    trap.run(106, [&] {
        RestoreDialog window(std::move(backups), this);
        window.exec();
        chosen = window.chosen();
    });
    if (trap.test(108, [&] { return !chosen; }))
        return;
    if (trap.test(110, [&] {
            return dialogs.MsgBox(data::restoreQuestion(data::describeBackup(*chosen)), platform::vbYesNo | platform::vbQuestion)
                != platform::vbYes;
        }))
        return;
    data::RestoreOutcome outcome;
    trap.run(112, [&] { outcome = data::restoreBackup(*chosen); });
    if (trap.test(114, [&] { return outcome.restored; }))
        trap.run(116, [this] { reloadInPlace(Changed::Current); });
    if (trap.test(118, [&] { return !outcome.message.isEmpty(); }))
        trap.run(120, [&] {
            dialogs.MsgBox(outcome.message, outcome.restored ? platform::vbInformation : platform::vbExclamation);
        });
}

} // namespace mainwindow
