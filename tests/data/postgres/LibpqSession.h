#pragma once
// A writer session straight over libpq for the server back end's parts under test, and
// the single-statement transaction the back end wraps around every write.

#include "data/postgres/Session.h"

#include <QString>
#include <functional>

struct pg_conn;

namespace testing_support {

class LibpqSession final : public data::postgres::Session {
public:
    // Connects; throws std::runtime_error with libpq's reason when it cannot.
    explicit LibpqSession(const QString& conninfo);
    ~LibpqSession() override;
    LibpqSession(const LibpqSession&) = delete;
    LibpqSession& operator=(const LibpqSession&) = delete;

    data::postgres::Result exec(const QByteArray& sql,
                                const std::vector<std::optional<QByteArray>>& parameters = {}) override;
    bool inTransaction() const override;
    // Runs several statements given as one text, as the ledger's making runs its scripts.
    void execScript(const QByteArray& sql);

    // The first column of the first row of `sql`, "" when there is none.
    QString value(const QByteArray& sql);
    // Every row of `sql`: values joined by "|", rows by "; ", Null as "NULL".
    std::string rows(const QByteArray& sql);

private:
    pg_conn* m_connection;
};

// Runs `write` as the server back end runs a write: in a transaction of its own
// unless one is pending, `enter` called in it just before, `left` once it has ended.
void writeAsTheBackEnd(data::postgres::Session& session, const std::function<void()>& enter,
                       const std::function<void(bool committed)>& left, const std::function<void()>& write);

} // namespace testing_support
