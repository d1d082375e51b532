#include "data/Undo.h"

#include "data/Ledger.h"
#include "data/LedgerMessages.h"

namespace data {

namespace {

// The shared connection's history, or nullptr while there is no open connection.
History* history()
{
    if (!hasConnection() || connection().State() == Connection::adStateClosed)
        return nullptr;
    return connectionHistory();
}

QString labelOf(const std::optional<History::Step>& step)
{
    return step ? step->label : QString();
}

HistoryMove move(bool back)
{
    // A ledger that must not be written says so, whether or not it has a history.
    if (ledgerProblem() != platform::FileProblem::None)
        throw platform::FileRefusal(ledgerProblemMessage(), false);
    HistoryMove result;
    History* steps = history();
    if (!steps)
        return result;
    try {
        const std::optional<History::Step> step = back ? steps->undo() : steps->redo();
        result.moved = step.has_value();
        if (step)
            result.transaction = step->transaction;
    } catch (const UndoConflict& conflict) {
        const QString by = conflict.changedBy() == UndoConflict::ChangedBy::Desktop ? changedOnDesktop(conflict.desktop())
                         : conflict.changedBy() == UndoConflict::ChangedBy::AnotherCopy ? changedByAnotherCopy()
                                                                                         : changedByAnotherProgram();
        result.refusal = undoConflictMessage(conflict.label(), conflict.table(), conflict.key(), conflict.redo(), by);
    }
    return result;
}

} // namespace

UndoStep::UndoStep(const QString& label)
{
    if (History* steps = history()) {
        steps->begin(label);
        m_recording = true;
    }
}

UndoStep::~UndoStep()
{
    // The connection may have gone meanwhile (closed by a restore): nothing to end then,
    // as closing ended the recording.
    if (History* steps = m_recording ? history() : nullptr)
        steps->end();
}

QString undoLabel()
{
    try {
        History* steps = history();
        return steps ? labelOf(steps->nextUndo()) : QString();
    } catch (const platform::DbError&) {
        return {};   // a history that cannot be read offers nothing
    }
}

QString redoLabel()
{
    try {
        History* steps = history();
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
