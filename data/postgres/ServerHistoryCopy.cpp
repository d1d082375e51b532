// The server's undo history read and written whole: each logged image read into the
// values the windows read, and written back through the server's own conversion of the
// table's row type, so that it is the very image the server's triggers would log.
#include "data/postgres/ServerHistoryCopy.h"

#include "data/postgres/ServerRows.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <libpq-fe.h>
#include <map>

namespace data::postgres {

using platform::DbError;
using stored::RecordedTable;
using stored::kRecordedTables;

namespace {

QString lower(const char* name)
{
    return QString::fromLatin1(name).toLower();
}

const RecordedTable* recordedTable(const QString& name)
{
    for (const RecordedTable& table : kRecordedTables) {
        if (name.compare(QLatin1String(table.name), Qt::CaseInsensitive) == 0)
            return &table;
    }
    return nullptr;
}

QVariant valueAt(const Result& result, int row, int column)
{
    if (result.isNull(row, column))
        return {};
    const QByteArray text = result.text(row, column);
    return valueOf(PQftype(result.get(), column), text.constData(), int(text.size()));
}

// The table's rows logged, each with its step and place, its images read as rows of the table.
QByteArray changesOf(const RecordedTable& table)
{
    QStringList columns;
    for (const QChar image : {u'b', u'a'}) {
        for (int c = 0; c < table.columnCount; ++c)
            columns << image + u'.' + lower(table.columns[c]);
    }
    return QStringLiteral("select l.stepid, l.seq, l.rowkey, l.before is not null, l.after is not null, %1 from undolog l "
                          "left join lateral jsonb_populate_record(null::%2, l.before) b on true "
                          "left join lateral jsonb_populate_record(null::%2, l.after) a on true "
                          "where l.tablename = '%2' order by l.stepid, l.seq")
        .arg(columns.join(QStringLiteral(", ")), lower(table.name))
        .toUtf8();
}

std::optional<QVariantList> image(const Result& rows, int row, bool present, int first, int count)
{
    if (!present)
        return std::nullopt;
    QVariantList values;
    for (int c = 0; c < count; ++c)
        values << valueAt(rows, row, first + c);
    return values;
}

// A value the windows read as the text the column's type reads back as that value.
QJsonValue serverText(const QVariant& value)
{
    if (!value.isValid())
        return QJsonValue::Null;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    default:
        return value.toString();
    }
}

// An image as a json object of texts, which the server turns into the table's row.
QJsonValue imageObject(const RecordedTable& table, qint64 key, const std::optional<QVariantList>& values)
{
    if (!values)
        return QJsonValue::Null;
    QJsonObject object;
    object.insert(lower(table.key), QString::number(key));
    for (int c = 0; c < table.columnCount; ++c)
        object.insert(lower(table.columns[c]), serverText((*values)[c]));
    return object;
}

// Changes logged a statement at a time, so that an import's thousands of rows are not
// as many round trips.
constexpr qsizetype kChangesAStatement = 1000;

void writeStep(Session& session, const HistoryStep& step, const QString& desktop)
{
    // Its place among the desktop's steps follows on from the desktop's newest.
    const Result made = session.exec(
        "insert into undosteps (desktop, ordinal, rolename, madeat, label, undone, accountssequence, "
        "transactionssequence, importkeyssequence) values ($1, coalesce((select ordinal from undosteps where desktop = $1 "
        "order by stepid desc limit 1), 0) + 1, coalesce($2, current_user), coalesce(to_timestamp($3::double precision "
        "/ 1000), now()), $4, $5, $6, $7, $8) returning stepid",
        {(step.desktop.isEmpty() ? desktop : step.desktop).toUtf8(),
         step.role.isEmpty() ? std::nullopt : std::optional(step.role.toUtf8()),
         step.madeAt.isValid() ? std::optional(QByteArray::number(step.madeAt.toMSecsSinceEpoch())) : std::nullopt,
         step.label.toUtf8(), step.undone ? "t" : "f", QByteArray::number(step.sequences[0].value_or(0)),
         QByteArray::number(step.sequences[1].value_or(0)), QByteArray::number(step.sequences[2].value_or(0))});
    const QByteArray id = made.text(0, 0);
    // Each run of changes to one table in one statement, in their order (the log's
    // numbers are handed out as the rows come).
    const RecordedTable* runOf = nullptr;
    QJsonArray run;
    const auto flush = [&] {
        if (run.isEmpty())
            return;
        const QByteArray name = lower(runOf->name).toUtf8();
        session.exec("insert into undolog (stepid, tablename, rowkey, before, after) select $1, $2, (c->>'k')::bigint, "
                     "to_jsonb(jsonb_populate_record(null::" + name + ", nullif(c->'b', 'null'))), "
                     "to_jsonb(jsonb_populate_record(null::" + name + ", nullif(c->'a', 'null'))) "
                     "from jsonb_array_elements($3::jsonb) with ordinality x(c, n) order by n",
                     {id, name, QJsonDocument(run).toJson(QJsonDocument::Compact)});
        run = QJsonArray();
    };
    for (const HistoryStep::Change& change : step.changes) {
        const RecordedTable* table = recordedTable(change.table);
        if (!table)
            throw DbError(QStringLiteral("it names an unknown table: %1").arg(change.table));
        for (const auto* values : {&change.before, &change.after}) {
            if (*values && (*values)->size() != table->columnCount)
                throw DbError(QStringLiteral("it holds %1 %2 with %3 values instead of %4.")
                                  .arg(QLatin1String(table->name))
                                  .arg(change.key)
                                  .arg((*values)->size())
                                  .arg(table->columnCount));
        }
        if (table != runOf || run.size() == kChangesAStatement) {
            flush();
            runOf = table;
        }
        run.append(QJsonObject{{QStringLiteral("k"), QString::number(change.key)},
                               {QStringLiteral("b"), imageObject(*table, change.key, change.before)},
                               {QStringLiteral("a"), imageObject(*table, change.key, change.after)}});
    }
    flush();
}

} // namespace

std::vector<HistoryStep> readHistory(Session& session)
{
    std::vector<HistoryStep> steps;
    const Result read = session.exec("select stepid, label, undone, accountssequence, transactionssequence, "
                                     "importkeyssequence, desktop, rolename, (extract(epoch from madeat) * 1000)::bigint "
                                     "from undosteps order by stepid");
    std::map<qint64, size_t> placeOf;   // stepid: where in steps
    for (int r = 0; r < read.rows(); ++r) {
        HistoryStep step;
        step.label = QString::fromUtf8(read.text(r, 1));
        step.undone = read.text(r, 2) == "t";
        // (0: the table had handed out no number yet.)
        for (int t = 0; t < int(std::size(kRecordedTables)); ++t) {
            if (const qint64 last = read.text(r, 3 + t).toLongLong())
                step.sequences[t] = last;
        }
        step.desktop = QString::fromUtf8(read.text(r, 6));
        step.role = QString::fromUtf8(read.text(r, 7));
        step.madeAt = QDateTime::fromMSecsSinceEpoch(read.text(r, 8).toLongLong(), Qt::UTC);
        placeOf[read.text(r, 0).toLongLong()] = steps.size();
        steps.push_back(std::move(step));
    }
    // Each table's log apart, then every step's changes put back in the order made.
    std::vector<std::vector<std::pair<qint64, HistoryStep::Change>>> logged(steps.size());
    for (const RecordedTable& table : kRecordedTables) {
        const Result rows = session.exec(changesOf(table));
        for (int r = 0; r < rows.rows(); ++r) {
            const auto place = placeOf.find(rows.text(r, 0).toLongLong());
            if (place == placeOf.end())
                continue;   // the log of a step no longer there
            const qint64 key = rows.text(r, 2).toLongLong();
            logged[place->second].emplace_back(
                rows.text(r, 1).toLongLong(),
                HistoryStep::Change{QString::fromLatin1(table.name), key,
                                    image(rows, r, rows.text(r, 3) == "t", 5, table.columnCount),
                                    image(rows, r, rows.text(r, 4) == "t", 5 + table.columnCount, table.columnCount)});
        }
    }
    for (size_t s = 0; s < steps.size(); ++s) {
        std::sort(logged[s].begin(), logged[s].end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& change : logged[s])
            steps[s].changes.push_back(std::move(change.second));
    }
    return steps;
}

void writeHistory(Session& session, const std::vector<HistoryStep>& steps, const QString& desktop)
{
    Q_ASSERT(session.inTransaction());
    for (const HistoryStep& step : steps) {
        try {
            writeStep(session, step, desktop);
        } catch (const platform::FileRefusal&) {
            throw;
        } catch (const DbError& e) {
            throw DbError(QStringLiteral("The undo history's step \"%1\" could not be copied: %2")
                              .arg(step.label, e.description()));
        }
    }
}

} // namespace data::postgres
