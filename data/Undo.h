#pragma once
// Undo and redo of the user's changes to the ledger, over the shared connection's
// history (platform::UndoHistory): the commands mark their changes as steps, the main
// window moves back and forth through them.

#include <QString>
#include <optional>

namespace data {

// One user command's changes, recorded as one step of the undo history while this
// lives: begun where the command starts changing the ledger, ended when it is done.
//
//   data::UndoStep step(data::steps::deleteTransaction(number));
//   data::connection().Execute(...);
//
// Never throws; without a connection, or on a file that keeps no history, the
// statements simply run unrecorded. A step that changed nothing leaves no trace.
class UndoStep {
public:
    explicit UndoStep(const QString& label);
    ~UndoStep();
    UndoStep(const UndoStep&) = delete;
    UndoStep& operator=(const UndoStep&) = delete;

private:
    bool m_recording = false;
};

// The step undo() would undo and redo() redo next, "" when there is none.
QString undoLabel();
QString redoLabel();

// What an undo or redo did.
struct HistoryMove {
    bool moved = false;   // the ledger changed: the list must be reloaded
    QString refusal;      // when the step could not apply: what the user is to be told
    std::optional<qint64> transaction;   // a transaction the step changed, when known
};

// Undoes the newest step, or redoes the step undone last. A step that no longer
// applies, because another program changed its rows since, changes nothing: it is
// taken out of the history and the refusal says why. Throws platform::FileRefusal on
// a ledger the program must not write (with the message every change gets), DbError
// when the database fails (nothing has changed then either).
HistoryMove undo();
HistoryMove redo();

// What the user is told, once, when the ledger `file` cannot keep its undo history.
QString undoUnavailableMessage(const QString& file, const QString& reason);

} // namespace data
