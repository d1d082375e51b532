// The file's undo history read whole and written from a copied ledger's, its rows'
// images turned into the values the windows read and back into the file's own form.
#include "data/UndoHistory.h"

#include "data/UndoStatement.h"

#include <QStringList>
#include <map>

namespace data {

using data::stored::kLoggedColumns;

namespace {

const RecordedTable* recordedTable(const QString& name)
{
    for (const RecordedTable& table : kRecordedTables) {
        if (name.compare(QLatin1String(table.name), Qt::CaseInsensitive) == 0)
            return &table;
    }
    return nullptr;
}

QString changeColumns()
{
    QStringList columns{QStringLiteral("TableName"), QStringLiteral("RowKey"), QStringLiteral("Before"),
                        QStringLiteral("After")};
    for (const QChar image : {u'B', u'A'}) {
        for (int c = 1; c <= kLoggedColumns; ++c)
            columns << image + QString::number(c);
    }
    return columns.join(QStringLiteral(", "));
}

// A logged value as a query of the table itself would read it: the log's columns keep
// the row's own values, with no type of their own to say what they are.
QVariant readValue(const RecordedTable& table, int column, sqlite3_value* value)
{
    const auto kind = stored::kindOf(table.name, table.columns[column]);
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        return kind == stored::ColumnKind::YesNo ? QVariant(false) : QVariant();
    case SQLITE_INTEGER:
        return kind == stored::ColumnKind::YesNo ? QVariant(sqlite3_value_int64(value) != 0)
                                                 : QVariant(qlonglong(sqlite3_value_int64(value)));
    case SQLITE_FLOAT:
        return kind == stored::ColumnKind::YesNo ? QVariant(sqlite3_value_double(value) != 0)
                                                 : QVariant(sqlite3_value_double(value));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_value_blob(value)), sqlite3_value_bytes(value));
    default: {
        const char* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
        const int length = sqlite3_value_bytes(value);
        if (kind == stored::ColumnKind::Date) {
            if (auto parsed = stored::parseDateText(text, length))
                return *parsed;
        }
        return QString::fromUtf8(text, length);
    }
    }
}

std::optional<QVariantList> readImage(const RecordedTable& table, const UndoStatement& log, int first)
{
    QVariantList values;
    for (int c = 0; c < table.columnCount; ++c)
        values << readValue(table, c, log.value(first + c));
    return values;
}

// A value the windows read, as the file keeps it: dates as their stored text, yes/no as 1 or 0.
void bindValue(UndoStatement& statement, int index, const QVariant& value)
{
    if (!value.isValid())
        return;   // left unbound: Null
    switch (value.typeId()) {
    case QMetaType::Bool:
        statement.bind(index, qint64(value.toBool()));
        break;
    case QMetaType::QDate:
        statement.bind(index, stored::dateText(value.toDate()));
        break;
    case QMetaType::QDateTime:
        statement.bind(index, stored::dateTimeText(value.toDateTime()));
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        statement.bind(index, qint64(value.toLongLong()));
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        statement.bindReal(index, value.toDouble());
        break;
    default:
        statement.bind(index, value.toString());
        break;
    }
}

// Binds a change to TableName ... A6's parameters, from `first` on.
void bindChange(UndoStatement& statement, int first, const HistoryStep::Change& change, const QString& label)
{
    const RecordedTable* table = recordedTable(change.table);
    if (!table)
        throw DbError(QStringLiteral("The undo history's step \"%1\" names an unknown table: %2").arg(label, change.table));
    for (const auto* image : {&change.before, &change.after}) {
        if (*image && (*image)->size() != table->columnCount)
            throw DbError(QStringLiteral("The undo history's step \"%1\" holds %2 %3 with %4 values instead of %5.")
                              .arg(label, QLatin1String(table->name))
                              .arg(change.key)
                              .arg((*image)->size())
                              .arg(table->columnCount));
    }
    statement.bind(first, table->name).bind(first + 1, change.key);
    statement.bind(first + 2, qint64(change.before.has_value())).bind(first + 3, qint64(change.after.has_value()));
    for (int c = 0; change.before && c < table->columnCount; ++c)
        bindValue(statement, first + 4 + c, (*change.before)[c]);
    for (int c = 0; change.after && c < table->columnCount; ++c)
        bindValue(statement, first + 4 + kLoggedColumns + c, (*change.after)[c]);
}

} // namespace

std::vector<HistoryStep> UndoHistory::exportSteps()
{
    if (!m_db)
        return {};
    std::vector<HistoryStep> steps;
    std::map<qint64, size_t> placeOf;   // StepID: where in steps
    UndoStatement read(*this, QStringLiteral("SELECT StepID, Label, Undone, AccountsSequence, TransactionsSequence, "
                                             "ImportKeysSequence FROM UndoSteps ORDER BY StepID"),
                       false);
    while (read.step()) {
        HistoryStep step;
        step.label = read.text(1);
        step.undone = read.integer(2) != 0;
        for (int t = 0; t < int(std::size(kRecordedTables)); ++t) {
            if (!read.isNull(3 + t))
                step.sequences[t] = read.integer(3 + t);
        }
        placeOf[read.integer(0)] = steps.size();
        steps.push_back(std::move(step));
    }
    // A step's first change is in its own row, the others in UndoLog from Seq 2.
    const QString columns = changeColumns();
    UndoStatement log(*this, QStringLiteral("SELECT StepID, Seq, %1 FROM (SELECT StepID, 1 AS Seq, %1 FROM UndoSteps "
                                            "UNION ALL SELECT StepID, Seq, %1 FROM UndoLog) ORDER BY StepID, Seq")
                                 .arg(columns),
                      false);
    constexpr int kFirst = 2, kBeforeValues = kFirst + 4, kAfterValues = kBeforeValues + kLoggedColumns;
    while (log.step()) {
        const auto place = placeOf.find(log.integer(0));
        if (place == placeOf.end())
            continue;   // the log of a step no longer there: undo never reaches it
        HistoryStep& step = steps[place->second];
        const QString name = log.text(kFirst);
        const RecordedTable* table = recordedTable(name);
        if (!table)
            throw DbError(QStringLiteral("The undo history's step \"%1\" names an unknown table: %2").arg(step.label, name));
        HistoryStep::Change change{QString::fromLatin1(table->name), log.integer(kFirst + 1), std::nullopt, std::nullopt};
        if (log.integer(kFirst + 2))
            change.before = readImage(*table, log, kBeforeValues);
        if (log.integer(kFirst + 3))
            change.after = readImage(*table, log, kAfterValues);
        step.changes.push_back(std::move(change));
    }
    return steps;
}

void UndoHistory::importSteps(const std::vector<HistoryStep>& steps)
{
    // Undone steps below a done one: see the header.
    size_t newestDone = 0;
    for (size_t s = 0; s < steps.size(); ++s) {
        if (!steps[s].undone)
            newestDone = s + 1;
    }
    bool any = false;
    for (size_t s = 0; s < steps.size() && !any; ++s)
        any = !steps[s].changes.empty() && (!steps[s].undone || s >= newestDone);
    if (!any)
        return;
    if (!m_db)
        throw DbError(QStringLiteral("This ledger file cannot keep an undo history."));
    Q_ASSERT(!sqlite3_get_autocommit(m_db));   // the copy's transaction

    UndoStatement newest(*this, QStringLiteral("SELECT coalesce(max(StepID), 0) FROM UndoSteps"), false);
    qint64 id = newest.step() ? newest.integer(0) : 0;
    newest.reset();
    const QString columns = changeColumns();
    QStringList parameters;
    for (int p = 1; p <= 6 + 4 + 2 * kLoggedColumns; ++p)
        parameters << QStringLiteral("?%1").arg(p);
    UndoStatement addStep(*this, QStringLiteral("INSERT INTO UndoSteps (StepID, Label, Undone, AccountsSequence, "
                                                "TransactionsSequence, ImportKeysSequence, %1) VALUES (%2)")
                                     .arg(columns, parameters.join(QStringLiteral(", "))));
    UndoStatement log(*this, QStringLiteral("INSERT INTO UndoLog (StepID, Seq, %1) VALUES (%2)")
                                 .arg(columns, parameters.mid(0, 2 + 4 + 2 * kLoggedColumns).join(QStringLiteral(", "))));
    for (size_t s = 0; s < steps.size(); ++s) {
        const HistoryStep& step = steps[s];
        // (A step that changed nothing has nothing to undo: a file keeps none.)
        if (step.changes.empty() || (step.undone && s < newestDone))
            continue;
        addStep.bind(1, ++id).bind(2, step.label).bind(3, qint64(step.undone));
        for (int t = 0; t < int(std::size(kRecordedTables)); ++t)
            addStep.bind(4 + t, step.sequences[t]);
        bindChange(addStep, 7, step.changes.front(), step.label);
        addStep.run();
        for (size_t c = 1; c < step.changes.size(); ++c) {
            log.bind(1, id).bind(2, qint64(c + 1));
            bindChange(log, 3, step.changes[c], step.label);
            log.run();
        }
    }
    // What this connection knew of the history went with these steps.
    m_known.reset();
}

} // namespace data
