#include "data/postgres/ServerBackend.h"

#include "data/LedgerMessages.h"
#include "data/StoredFormat.h"
#include "data/postgres/Conninfo.h"
#include "data/postgres/Listener.h"
#include "data/postgres/PgSession.h"
#include "data/postgres/Reconnector.h"
#include "data/postgres/ServerHistory.h"
#include "data/postgres/ServerHistoryCopy.h"
#include "data/postgres/ServerLedger.h"
#include "data/postgres/ServerRows.h"
#include "data/postgres/ServerSql.h"

#include <QRegularExpression>
#include <QSysInfo>
#include <cctype>
#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

namespace data::postgres {

using platform::FileProblem;

namespace {

[[noreturn]] void notOpen()
{
    throw platform::DbError(QStringLiteral("Operation is not allowed when the object is closed."));
}

// "<database> on <host>", "this computer" for a Unix socket.
QString titleOf(const QString& database, const QString& host)
{
    const bool local = host.isEmpty() || host.startsWith(u'/') || host.startsWith(u'@');
    return QStringLiteral("%1 on %2").arg(database, local ? QStringLiteral("this computer") : host);
}

// The title before any connection: what the conninfo itself names, never a secret.
QString titleOf(const QString& conninfo)
{
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), nullptr);
    if (!options)
        return maskedConninfo(conninfo);
    QString database, host;
    for (const PQconninfoOption* option = options; option->keyword; ++option) {
        const QByteArray keyword(option->keyword);
        if (keyword == "dbname" && option->val)
            database = QString::fromUtf8(option->val);
        else if (keyword == "host" && option->val)
            host = QString::fromUtf8(option->val);
    }
    PQconninfoFree(options);
    return database.isEmpty() ? withoutSecrets(conninfo) : titleOf(database, host);
}

const stored::RecordedTable* recordedTable(const QString& table)
{
    for (const auto& known : stored::kRecordedTables) {
        if (table.compare(QLatin1String(known.name), Qt::CaseInsensitive) == 0)
            return &known;
    }
    return nullptr;
}

// Whether a statement reads or writes the report's table, the writer's own.
bool namesReportTable(const QByteArray& sql)
{
    static const QRegularExpression word(QStringLiteral("\\btblreport\\b"), QRegularExpression::CaseInsensitiveOption);
    return word.match(QString::fromUtf8(sql)).hasMatch();
}

// Whether a statement writes the report's table alone: a temporary table of the
// session's own, which a role that may only read fills too.
bool fillsReportTable(const QByteArray& sql)
{
    const QByteArrayView written = QByteArrayView(sql).trimmed();
    for (QByteArrayView start : {QByteArrayView("insert into tblreport"), QByteArrayView("delete from tblreport")}) {
        if (written.size() >= start.size() && written.first(start.size()).compare(start, Qt::CaseInsensitive) == 0
            && (written.size() == start.size() || !(std::isalnum(uchar(written[start.size()]))
                                                    || written[start.size()] == '_')))
            return true;
    }
    return false;
}

} // namespace

ServerBackend::ServerBackend() = default;

ServerBackend::~ServerBackend()
{
    close();
}

History* ServerBackend::history()
{
    return m_history.get();
}

std::vector<HistoryStep> ServerBackend::exportHistory()
{
    if (!m_writer)
        notOpen();
    return readHistory(*m_writer);
}

void ServerBackend::importHistory(const std::vector<HistoryStep>& steps)
{
    refuseWrites();
    writeHistory(*m_writer, steps, desktop());
}

Session* ServerBackend::session()
{
    return m_writer.get();
}

QString ServerBackend::desktop() const
{
    if (!m_writer)
        return {};
    QString user = qEnvironmentVariable("USER");
    if (const passwd* entry = ::getpwuid(::getuid()))
        user = QString::fromLocal8Bit(entry->pw_name);
    return QStringLiteral("%1@%2/%3").arg(QString::fromUtf8(PQuser(m_writer->handle())), QSysInfo::machineHostName(),
                                           user);
}

void ServerBackend::setProblem(FileProblem problem, const QString& message)
{
    const bool changed = problem != m_problem;
    m_problem = problem;
    m_problemMessage = message;
    if (changed && m_owner.changed)
        m_owner.changed();
}

void ServerBackend::refuse(FileProblem problem, const QString& detail)
{
    // Refused at its opening, a server is not tried again: the user is told what to check.
    refuseWith(problem, problem == FileProblem::Away ? serverNotOpenedMessage(m_title, detail)
                                                     : serverProblemMessage(problem, m_title, detail));
}

void ServerBackend::refuseWith(FileProblem problem, const QString& message)
{
    close();
    setProblem(problem, message);
    throw platform::FileRefusal(m_problemMessage, false);
}

void ServerBackend::open(const QString& connectionString)
{
    if (m_writer)
        throw platform::DbError(QStringLiteral("Operation is not allowed when the object is open."));
    m_conninfo = conninfoOf(connectionString);
    m_title = titleOf(m_conninfo);
    setProblem(FileProblem::None, {});
    // A password libpq's own means did not give is asked for, and kept in this
    // conninfo alone, in memory, for the readers, the listener and a reconnection.
    for (;;) {
        try {
            adoptWriter(connectTo(m_conninfo));
            break;
        } catch (const PasswordNeeded& e) {
            const std::optional<QString> password = m_owner.password ? m_owner.password(m_title) : std::nullopt;
            if (!password)
                refuse(FileProblem::Away, QString::fromUtf8(e.what()));
            m_conninfo = withPassword(m_conninfo, *password);
        } catch (const ConninfoUnreadable& e) {
            refuseWith(FileProblem::Away, unreadableConninfoMessage(QString::fromUtf8(e.what())));
        } catch (const platform::DbError& e) {
            refuse(FileProblem::Away, QString::fromUtf8(e.what()));
        }
    }
    // Who is logged in belongs to the name: two roles on one database see it differently.
    m_title = titleOf(QString::fromUtf8(PQdb(m_writer->handle())), QString::fromUtf8(PQhost(m_writer->handle())))
            + QStringLiteral(" as ") + QString::fromUtf8(PQuser(m_writer->handle()));
    try {
        prepareLedger();
        startSession();
        m_history = std::make_unique<ServerHistory>(*m_writer, desktop());
    } catch (...) {
        // Refused, or the server went while opening: nothing stays open.
        close();
        throw;
    }
    if (m_owner.opened)
        m_owner.opened();
}

void ServerBackend::prepareLedger()
{
    // Asked at most once: an empty database is made a ledger after the owner said so,
    // unless another desktop made it one meanwhile.
    bool asked = false;
    for (;;) {
        LedgerFacts facts;
        try {
            facts = lockAndInspect(*m_writer);
            if (facts.kind == LedgerFacts::Ledger) {
                if (facts.version > stored::kLedgerVersion) {
                    m_writer->exec("rollback");
                    refuse(FileProblem::NewerVersion, QString::number(facts.version));
                }
                if (!facts.missing.isEmpty()) {
                    m_writer->exec("rollback");
                    refuse(FileProblem::NotALedger, missingTablesDetail(facts.missing));
                }
                if (facts.version < stored::kLedgerVersion) {
                    try {
                        migrateLedger(*m_writer, facts.version);
                    } catch (const platform::DbError& e) {
                        refuse(FileProblem::CannotUpgrade, QString::fromUtf8(e.what()));
                    }
                }
                m_writer->exec("commit");
                return;
            }
            if (facts.kind == LedgerFacts::Empty && asked) {
                try {
                    makeLedger(*m_writer);
                    m_writer->exec("commit");
                } catch (const platform::FileRefusal&) {
                    throw;
                } catch (const platform::DbError& e) {
                    refuse(FileProblem::NotALedger, noLedgerMadeDetail(QString::fromUtf8(e.what())));
                }
                return;
            }
            m_writer->exec("rollback");
        } catch (const platform::FileRefusal&) {
            throw;
        } catch (const platform::DbError& e) {
            refuse(FileProblem::NotALedger, QString::fromUtf8(e.what()));
        }
        if (facts.kind == LedgerFacts::NoRights) {
            close();
            setProblem(FileProblem::NotALedger, serverNoRightsMessage(m_title));
            throw platform::FileRefusal(m_problemMessage, false);
        }
        if (facts.kind == LedgerFacts::OtherTables)
            refuse(FileProblem::NotALedger, otherTablesDetail());
        // Asked outside the transaction: no other desktop waits on the lock meanwhile.
        if (asked || !m_owner.createLedger || !m_owner.createLedger(m_title))
            refuse(FileProblem::NotALedger, emptyDatabaseDetail());
        asked = true;
    }
}

void ServerBackend::adoptWriter(PgConnection connection)
{
    m_sameServer = pinnedTo(m_conninfo, QString::fromUtf8(PQhost(connection.get())),
                            QString::fromUtf8(PQport(connection.get())));
    m_writer = std::make_unique<PgSession>(std::move(connection));
    m_writer->setOnLost([this](const QString& detail) {
        loseTransaction();
        return lost(detail, false);
    });
}

bool ServerBackend::setUpSession()
{
    m_writer->exec("create temp table tblreport (date timestamp(0), valuein double precision, "
                   "valueout double precision, account text collate tallyfold_jet, "
                   "description text collate tallyfold_jet)");
    const Result mayWrite = m_writer->exec("select has_table_privilege('transactions', 'insert')");
    startReaders(connectTo(m_sameServer));
    return mayWrite.text(0, 0) == "t";
}

void ServerBackend::startReaders(PgConnection listening)
{
    m_readers = std::make_shared<ReaderPool>(m_sameServer, [this](const QString& detail) { return lost(detail, true); });
    m_listener = std::make_unique<Listener>(
        std::move(listening), m_writer->backendPid(),
        [this] {
            if (m_owner.othersChanged)
                m_owner.othersChanged();
        },
        [this](const QString& reason) { lost(reason, true); });
}

void ServerBackend::startSession()
{
    bool mayWrite = false;
    try {
        mayWrite = setUpSession();
    } catch (const platform::FileRefusal&) {
        close();
        throw;
    } catch (const platform::DbError& e) {
        refuse(FileProblem::Away, QString::fromUtf8(e.what()));
    }
    if (!mayWrite) {
        setProblem(FileProblem::ReadOnly, serverProblemMessage(FileProblem::ReadOnly, m_title,
                                                               QStringLiteral("no permission to add transactions")));
        if (m_owner.tell)
            m_owner.tell(m_problemMessage);
    }
}

void ServerBackend::close()
{
    dropReportRows();
    m_reconnect.reset();
    m_history.reset();
    m_listener.reset();
    if (m_readers)
        m_readers->close();
    m_readers.reset();
    m_writer.reset();
    m_transaction = Transaction::None;
}

void ServerBackend::refuseWrites()
{
    if (!m_writer)
        notOpen();
    refuseLostTransaction();
    if (m_problem == FileProblem::Away)
        loseTransaction();
    if (m_problem == FileProblem::ReadOnly || m_problem == FileProblem::Away)
        throw platform::FileRefusal(m_problemMessage, false);
}

QByteArray ServerBackend::translated(const QString& jetSql) const
{
    return translate(jetSql).toUtf8();
}

void ServerBackend::enterWrite()
{
    if (m_history)
        m_history->enter();
}

void ServerBackend::leftWrite(bool committed)
{
    if (m_history)
        m_history->left(committed);
}

bool ServerBackend::gatherReportRow(const QByteArray& sql)
{
    // "insert into tblReport (columns) values (...)": no text comes before the values.
    static const QRegularExpression insert(QStringLiteral("^\\s*insert\\s+into\\s+tblreport\\s*\\([^)']*\\)\\s*values\\s*\\("),
                                           QRegularExpression::CaseInsensitiveOption);
    // Every write passes here: the regular expression only for what could be such an insert.
    static constexpr QByteArrayView kStart = "insert into tblreport";
    const QByteArrayView written = QByteArrayView(sql).trimmed();
    if (!inTransaction() || written.size() < kStart.size()
        || written.first(kStart.size()).compare(kStart, Qt::CaseInsensitive) != 0)
        return false;
    const QString text = QString::fromUtf8(sql);
    const QRegularExpressionMatch head = insert.match(text);
    if (!head.hasMatch())
        return false;
    const QByteArray start = text.left(head.capturedEnd() - 1).toUtf8();
    if (start != m_reportHead)
        sendReportRows();
    m_reportHead = start;
    if (m_reportCount > 0)
        m_reportRows += ',';
    m_reportRows += text.mid(head.capturedEnd() - 1).toUtf8();
    if (++m_reportCount == kReportRowsAStatement)
        sendReportRows();
    return true;
}

void ServerBackend::sendReportRows()
{
    if (m_reportCount == 0)
        return;
    const QByteArray sql = m_reportHead + m_reportRows;
    dropReportRows();
    try {
        m_writer->exec(sql);
    } catch (...) {
        rollback();
        throw;
    }
}

void ServerBackend::dropReportRows()
{
    m_reportHead.clear();
    m_reportRows.clear();
    m_reportCount = 0;
}

long long ServerBackend::execute(const QString& jetSql)
{
    const QByteArray sql = translated(jetSql);
    if (m_problem != FileProblem::ReadOnly || !fillsReportTable(sql))
        refuseWrites();
    if (gatherReportRow(sql))
        return 1;
    sendReportRows();
    if (inTransaction()) {
        enterWrite();
        return m_writer->execUndoingItselfOnly(sql);
    }
    m_writer->exec("begin");
    long long changed = 0;
    bool committed = false;
    try {
        enterWrite();
        changed = m_writer->exec(sql).affected();
        committed = commitWriter();
    } catch (...) {
        rollbackWriter();
        leftWrite(false);
        throw;
    }
    leftWrite(committed);
    if (!committed)
        throw platform::DbError(rolledBackMessage());
    return changed;
}

std::unique_ptr<Rows> ServerBackend::query(const QString& jetSql)
{
    if (!m_writer)
        notOpen();
    if (m_problem == FileProblem::Away)
        throw platform::FileRefusal(m_problemMessage, true);
    const QByteArray sql = translated(jetSql);
    sendReportRows();
    if (namesReportTable(sql)) {
        refuseLostTransaction();
        return resultRows(m_writer->exec(sql));
    }
    return cursorRows(m_readers, sql);
}

void ServerBackend::begin()
{
    if (!m_writer)
        notOpen();
    if (inTransaction())
        throw platform::DbError(QStringLiteral("cannot start a transaction within a transaction"));
    m_writer->exec("begin");
    m_transaction = Transaction::Open;
}

void ServerBackend::commit()
{
    if (!m_writer)
        notOpen();
    if (!inTransaction())
        throw platform::DbError(QStringLiteral("cannot commit - no transaction is active"));
    refuseLostTransaction();
    if (m_problem == FileProblem::Away) {
        loseTransaction();
        throw platform::FileRefusal(m_problemMessage, false);
    }
    bool committed = false;
    try {
        sendReportRows();
        committed = commitWriter();
    } catch (const platform::FileRefusal&) {
        // Lost with its connection: refused until rolled back.
        loseTransaction();
        leftWrite(false);
        throw;
    } catch (...) {
        // Refused at its commit (a deferred check, a conflict): the server rolled it back.
        rollbackWriter();
        m_transaction = Transaction::None;
        leftWrite(false);
        throw;
    }
    m_transaction = Transaction::None;
    leftWrite(committed);
    if (!committed)
        throw platform::DbError(rolledBackMessage());
}

bool ServerBackend::commitWriter()
{
    // The transaction's number first: should the server go while it commits, whether
    // the change landed is asked once it is back.
    QByteArray number;
    if (PQtransactionStatus(m_writer->handle()) == PQTRANS_INTRANS) {
        const Result id = m_writer->exec("select txid_current_if_assigned()");
        number = id.isNull(0, 0) ? QByteArray() : id.text(0, 0);
    }
    try {
        // A transaction a failure ended answers its commit with a rollback.
        const Result result = m_writer->exec("commit");
        return QByteArray(PQcmdStatus(result.get())) == "COMMIT";
    } catch (const platform::FileRefusal&) {
        m_uncertainCommit = number;
        if (number.isEmpty() || !m_owner.settlesLostCommits)
            throw;
    }
    // No event loop will connect again later (a command): whether the commit landed is
    // asked now, and answers for it.
    const std::optional<bool> landed = settleCommitHere();
    if (landed == true) {
        if (m_owner.tell)
            m_owner.tell(uncertainChangeMessage(true));
        return true;
    }
    loseTransaction();
    throw platform::FileRefusal(uncertainChangeMessage(landed), false);
}

void ServerBackend::rollback()
{
    dropReportRows();
    if (!m_writer)
        return;
    const bool open = m_transaction != Transaction::None || m_writer->inTransaction();
    m_transaction = Transaction::None;
    if (!open)
        return;
    rollbackWriter();
    leftWrite(false);
}

bool ServerBackend::inTransaction() const
{
    return m_writer && m_transaction != Transaction::None;
}

// The table's key column, lower case as the server names it.
QByteArray ServerBackend::keyOf(const QString& table, QByteArray& name) const
{
    if (!m_writer)
        notOpen();
    refuseLostTransaction();
    if (m_problem == FileProblem::Away)
        throw platform::FileRefusal(m_problemMessage, false);
    const stored::RecordedTable* recorded = recordedTable(table);
    Q_ASSERT(recorded);
    if (!recorded)
        throw platform::DbError(QStringLiteral("The table '%1' numbers no rows.").arg(table));
    name = QByteArray(recorded->name).toLower();
    return QByteArray(recorded->key).toLower();
}

qint64 ServerBackend::nextKey(const QString& table)
{
    QByteArray name;
    const QByteArray key = keyOf(table, name);
    // Held until the caller's transaction ends: others may read, but none add, change
    // or delete a row meanwhile. (A role that may only read numbers nothing.)
    if (inTransaction() && m_problem == FileProblem::None)
        m_writer->exec("lock table " + name + " in share row exclusive mode");
    const Result next = m_writer->exec(
        "select greatest(coalesce(pg_sequence_last_value(pg_get_serial_sequence($1, $2)), 0), "
        "coalesce((select max(" + key + ") from " + name + "), 0)) + 1",
        {name, key});
    return next.text(0, 0).toLongLong();
}

void ServerBackend::setNextKey(const QString& table, qint64 next)
{
    refuseWrites();
    QByteArray name;
    const QByteArray key = keyOf(table, name);
    // A counter never called gives its own value next; one called, the value after it.
    m_writer->exec("select setval(pg_get_serial_sequence($1, $2), greatest(m.highest, 1), m.highest >= 1) from "
                   "(select greatest($3::bigint - 1, coalesce((select max(" + key + ") from " + name + "), 0)) "
                   "as highest) m",
                   {name, key, QByteArray::number(next)});
}

} // namespace data::postgres
