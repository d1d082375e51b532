#pragma once
// The undo history of a ledger on a server. It lives in the server (history.sql:
// undosteps, undolog) and is written by the server itself: a row trigger on the ledger
// tables logs each changed row, in the change's own transaction, under the step the
// writing session names in the transaction's setting tallyfold.step. So a change is
// never committed without its log, whichever desktop or program made it, and one that
// names no step (another program, a change outside any command) records nothing.
//
// Several desktops share one server ledger: every step belongs to the desktop that made
// it ("<role>@<host>/<user>"), with who (the login role) and when, and each desktop
// undoes and redoes its own steps only, with the file's rules: a new change clears
// what this desktop could redo; the newest 1,000 steps of a desktop can be undone; and
// a step whose rows someone else has changed since is refused, changes nothing and
// leaves the history.
//
// The back end calls enter() inside each write's transaction just before its statement
// and left() once that transaction has ended; everything else is the History surface.
// The history's tables, functions and triggers are history.sql, which the ledger's
// making runs after the ledger tables.

#include "data/Connection.h"
#include "data/postgres/Session.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace data::postgres {

class ServerHistory final : public History {
public:
    // Steps of one desktop that can be undone; the oldest beyond these go 50 at a time
    // (history.sql holds the same numbers).
    static constexpr int kStepsKept = 1000;

    // `desktop`: who this desktop is, "<login role>@<client host>/<OS user>".
    ServerHistory(Session& session, QString desktop);
    ServerHistory(const ServerHistory&) = delete;
    ServerHistory& operator=(const ServerHistory&) = delete;

    // Inside a write's transaction, just before its statement: while a step is being
    // recorded, names it for the transaction (its number taken at its first change).
    // Throws DbError when the step cannot be named: the write must fail then.
    void enter();
    // Once that transaction has committed or rolled back. A step whose first change
    // was rolled back gets a new number with its next.
    void left(bool committed);

    void begin(const QString& label) override;
    void end() override;
    std::optional<Step> nextUndo() override { return next(true, false); }
    std::optional<Step> nextRedo() override { return next(false, false); }
    // Each runs in a transaction of its own (none may be pending).
    std::optional<Step> undo() override { return move(true); }
    std::optional<Step> redo() override { return move(false); }

private:
    std::optional<Step> next(bool back, bool lock);
    std::optional<Step> move(bool back);
    Result exec(const QByteArray& sql, const std::vector<std::optional<QByteArray>>& parameters = {});

    Session& m_session;
    QByteArray m_desktop;
    int m_depth = 0;
    bool m_active = false;    // a step is being recorded
    QByteArray m_label;       // its label, UTF-8
    qint64 m_step = 0;        // its number, once it has one
    bool m_entered = false;   // the open transaction names this step
    bool m_named = false;     // the open transaction names a step (this one or one ended)
    bool m_made = false;      // the step had its row when the transaction named it
};

} // namespace data::postgres
