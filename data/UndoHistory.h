#pragma once
// The ledger's undo history. Every change the program makes to the accounts and the
// transactions is recorded, one step for each command the user gives, in the ledger
// file's own tables (UndoSteps, UndoLog: StoredFormat.h), so that a step can still be
// undone after a restart or a crash.
//
// Recording: SQLite's pre-update hook on the program's own writer connection sees every
// row a statement changes, before the change, with its values before and after. While
// a step is being recorded, each statement that writes runs in a transaction of its
// own (unless one is pending) that also takes the log of its changes, so a change is
// never committed without its log. Another program writing the file records nothing,
// and the file holds nothing but plain tables for other tools. A step's first change
// clears what could be redone. Only the newest 1,000 steps can be undone; the older
// ones leave the file together, once there are kStepsDroppedTogether of them (a drop
// at every step would write one more page into every change). tblReport is not
// recorded. (Triggers could record the same, but SQLite compiles every trigger into
// every statement it prepares: a single add would cost four times the work. SQLite's
// session extension could record and replay the rows, but not all that is needed: it
// keeps no auto-number counter (sqlite_sequence has no key), an update's changeset
// holds only the columns it changed, so an undo would go ahead over another program's
// change to the row's other columns, and every changeset prepares a statement of its
// own to read the rows back: a recorded add would take four times the instructions.)
//
// A step's row also keeps the auto-number counters as they were before its first
// change. What it needs of the file (the counters, the newest steps, how many) is read
// before a statement, unless this connection's own last statement left it and nothing
// has written the file since (SQLite's data version tells): then it follows from that
// statement's changes, and a single change reads nothing first. A statement whose
// effect on the counters its changes do not show (a key moved, a counter set, an
// insert that may number a row it skips) has the next one read them.
//
// Undo and redo each run in one transaction: every row the step touched is set back to
// its values before the step (or forward to those after it), keys included, and the
// auto-number counters with it, so that an undone delete brings back the same number
// and a redone insert gets its number again. Both first check that those rows are
// still as the step, or its undo, left them. When another program has changed one
// since, nothing is changed: the step is taken out of the history (it can never apply
// again) and UndoConflict names the row.

#include "data/Connection.h"
#include "data/HistoryStep.h"
#include "data/sqlite/Database.h"
#include "data/StoredFormat.h"

#include <QString>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace data {

// Installed as its connection's write observer while it lives: set it up before the
// connection opens, or on an open one.
class UndoHistory final : public platform::WriteObserver, public History {
public:
    // Steps that can be undone; the oldest beyond these are dropped, that many at a time.
    static constexpr int kStepsKept = 1000;
    static constexpr int kStepsDroppedTogether = 50;

    using Step = History::Step;

    // What a step's first change needs to know: the auto-number counters, and where the
    // history stands: the newest step not undone (those above it are undone: undo takes
    // the newest done, redo the oldest undone), the newest step, how many there are.
    struct Counters {
        std::optional<qint64> sequence[std::size(data::stored::kRecordedTables)];
        qint64 newestDone = 0, newest = 0, steps = 0;
    };

    explicit UndoHistory(platform::Connection& connection);
    ~UndoHistory() override;
    UndoHistory(const UndoHistory&) = delete;
    UndoHistory& operator=(const UndoHistory&) = delete;

    // From the connection: recording starts on its freshly opened writer (a file without
    // the history's tables simply records nothing) and stops at its close. While a step
    // is being recorded, each statement that writes runs under a Write.
    void opened(sqlite3* writer) override;
    void closing() override;
    bool beforeWrite(const char* sql) override;
    void written() override;
    void abandoned() noexcept override;

    // Whether a step is being recorded now.
    bool recording() const { return m_db && m_active; }

    // Runs, the first time only, when a file opened for writing cannot keep its history,
    // with the reason: its changes are made all the same, but cannot be undone.
    void setUnavailable(std::function<void(const QString& reason)> unavailable) { m_unavailable = std::move(unavailable); }

    // One statement of a step: made just before the statement runs, committed once it
    // has run. It begins a transaction unless one is pending; commit() writes the log of
    // the rows the statement changed (and the step's own row at its first change) and
    // commits what it began. Dropped without commit(), it rolls back what it began and
    // forgets the changes. Throws as UndoHistory's statements do.
    class Write {
    public:
        // `sql`: the statement's text, when known.
        Write(UndoHistory& history, const char* sql);
        ~Write();
        Write(const Write&) = delete;
        Write& operator=(const Write&) = delete;
        void commit();

    private:
        UndoHistory& m_history;
        bool m_began = false;
        bool m_done = false;
        bool m_stepStarted = false;
        bool m_followed = false;   // the counters after it can be told from its changes
        Counters m_before;
    };

    // The changes made between begin() and end() form one step called `label`. Nested
    // steps join the outermost one. Never throws: a step that cannot be recorded is
    // left out of the history, and its changes are made all the same.
    void begin(const QString& label) override;
    void end() override;

    // The step undo() or redo() would act on next; nullopt when there is none.
    std::optional<Step> nextUndo() override;
    std::optional<Step> nextRedo() override;

    // Undoes the newest step not yet undone, or redoes the oldest undone one, and
    // answers it (nullopt: there was none). Throws FileRefusal on a file the program
    // must not write, UndoConflict (see above), or DbError; nothing has changed then.
    std::optional<Step> undo() override { return move(true); }
    std::optional<Step> redo() override { return move(false); }

    // The history whole, oldest step first, for a copy of the ledger (nothing from a
    // file that keeps none).
    std::vector<HistoryStep> exportSteps();
    // Adds a copied ledger's steps above those there are, in the transaction pending on
    // the writer. A file's history is one line: undone steps that a later step was made
    // over (another desktop's on a server) could never be redone here, and stay behind.
    // Throws DbError for a step it cannot keep; the caller rolls back.
    void importSteps(const std::vector<HistoryStep>& steps);

private:
    struct Change;
    struct Statements;
    static void seeChange(void* history, sqlite3* db, int operation, const char* database, const char* table,
                          qint64 oldKey, qint64 newKey);
    std::optional<Step> move(bool back);
    void forgetStep(qint64 id);
    void restoreCounters(qint64 id);
    std::optional<Step> next(bool back);
    const Counters* knownCounters();
    void remember(const Counters& counters);
    qint64 dropStepsBeyondKept();   // those beyond the newest kStepsKept; answers how many went
    sqlite3* writer();
    bool recordsOn(sqlite3* writer, QString& reason);
    [[noreturn]] void fail(int result, const QString& message, bool writing);

    platform::Connection& m_connection;
    sqlite3* m_db = nullptr;   // the writer, while recording is installed
    int m_depth = 0;
    bool m_active = false;     // a step is being recorded
    qint64 m_step = 0;         // its StepID, once its first statement has run
    QByteArray m_label;        // its label, in UTF-8
    qint64 m_seq = 0;          // the last change's place in the step
    // The counters after the last statement this connection committed under a Write,
    // and SQLite's data version of the file then: while the version is the same,
    // nothing has written the file since, and they still hold.
    std::optional<Counters> m_known;
    unsigned m_knownVersion = 0;
    // The statement running now moved a key or set a counter itself: the counters after
    // it are for the file to tell.
    bool m_unforeseen = false;
    // Where each logged column is in its table, by kRecordedTables.
    int m_columns[std::size(data::stored::kRecordedTables)][data::stored::kLoggedColumns] = {};
    // What the statement running now has changed so far, the rows' values packed in
    // m_images; forgetChanges() clears both.
    void forgetChanges();
    static constexpr size_t kKeptImageBytes = 1 << 20;
    std::vector<Change> m_changes;
    std::string m_images;
    std::unique_ptr<Statements> m_statements;
    std::function<void(const QString&)> m_unavailable;
    bool m_toldUnavailable = false;
    // The statement running now, while a step is recorded.
    std::optional<Write> m_write;

    friend class UndoStatement;
};

} // namespace data
