#pragma once
// The writer's connection to the server, as the parts of the server back end share it:
// the back end itself (ServerBackend), its undo history (ServerHistory) and the copy
// of a ledger between a file and a server. Statements here are PostgreSQL's own
// dialect; the windows' Jet statements are translated before they get here.

#include "data/LedgerProblem.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <vector>

struct pg_result;

namespace data::postgres {

// One statement's result, freed with it.
class Result {
public:
    Result() = default;
    explicit Result(pg_result* result) : m_result(result) {}
    int rows() const;
    int columns() const;
    bool isNull(int row, int column) const;
    QByteArray text(int row, int column) const;   // the value as the server writes it
    long long affected() const;                   // rows an insert, update or delete changed
    pg_result* get() const { return m_result.get(); }

private:
    struct Free {
        void operator()(pg_result* result) const;
    };
    std::unique_ptr<pg_result, Free> m_result;
};

class Session {
public:
    virtual ~Session() = default;
    // Runs one statement with its parameters given as text (nullopt: NULL) and answers
    // its result. Throws DbError with the server's own message when it fails (the
    // transaction it ran in is then failed too, as PostgreSQL has it), FileRefusal while
    // the server is away. (A role that may only read is refused its writes by the server
    // itself; the back end refuses the windows' writes before they get here.)
    virtual Result exec(const QByteArray& sql, const std::vector<std::optional<QByteArray>>& parameters = {}) = 0;
    // Whether a transaction is open on the writer (the caller's BeginTrans, or the one a
    // single recorded statement runs in).
    virtual bool inTransaction() const = 0;
};

} // namespace data::postgres
