#include "data/Undo.h"

#include "data/Ledger.h"
#include "data/LedgerMessages.h"
#include "data/UndoHistory.h"

namespace data {

namespace {

// The shared connection's history, or nullptr while there is no open connection.
UndoHistory* history()
{
    if (!hasConnection() || connection().State() == platform::Connection::adStateClosed)
        return nullptr;
    return connectionHistory();
}

QString labelOf(const std::optional<UndoHistory::Step>& step)
{
    return step ? step->label : QString();
}

HistoryMove move(bool back)
{
    // A ledger that must not be written says so, whether or not it has a history.
    if (ledgerProblem() != platform::FileProblem::None)
        throw platform::FileRefusal(ledgerProblemMessage(), false);
    HistoryMove result;
    UndoHistory* steps = history();
    if (!steps)
        return result;
    try {
        result.moved = (back ? steps->undo() : steps->redo()).has_value();
    } catch (const UndoConflict& conflict) {
        result.refusal = undoConflictMessage(conflict.label(), conflict.table(), conflict.key(), conflict.redo());
    }
    return result;
}

} // namespace

UndoStep::UndoStep(const QString& label)
{
    if (UndoHistory* steps = history()) {
        steps->begin(label);
        m_recording = true;
    }
}

UndoStep::~UndoStep()
{
    // The connection may have gone meanwhile (closed by a restore): nothing to end then,
    // as closing ended the recording.
    if (UndoHistory* steps = m_recording ? history() : nullptr)
        steps->end();
}

QString undoLabel()
{
    try {
        UndoHistory* steps = history();
        return steps ? labelOf(steps->nextUndo()) : QString();
    } catch (const platform::DbError&) {
        return {};   // a history that cannot be read offers nothing
    }
}

QString redoLabel()
{
    try {
        UndoHistory* steps = history();
        return steps ? labelOf(steps->nextRedo()) : QString();
    } catch (const platform::DbError&) {
        return {};
    }
}

HistoryMove undo()
{
    return move(true);
}

HistoryMove redo()
{
    return move(false);
}

QString undoUnavailableMessage(const QString& file, const QString& reason)
{
    return QStringLiteral("Undo is unavailable for the ledger file '%1': %2.\n\n"
                          "Every change is still saved, but cannot be undone.").arg(file, reason);
}

} // namespace data
