#pragma once
// A step of a ledger's undo history in a form neither back end keeps it in, so that a
// ledger copied between a file and a server takes its history with it: undo and redo
// on the copy then do what they would have done on the original.

#include "data/StoredFormat.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <iterator>
#include <optional>
#include <vector>

namespace data {

struct HistoryStep {
    // One changed row: its table ("Accounts", "Transactions", "ImportKeys") and key, and
    // its values before and after the change (nullopt: the row did not exist then), in
    // the order of stored::kRecordedTables' columns, as the windows read them (see
    // Rows::value: a QDate or QDateTime for a date, a bool for yes/no, an invalid
    // QVariant for Null).
    struct Change {
        QString table;
        qint64 key = 0;
        std::optional<QVariantList> before, after;
    };

    QString label;
    bool undone = false;
    // The auto-number counters before the step, by stored::kRecordedTables: the last
    // number the table had handed out (nullopt: none yet).
    std::optional<qint64> sequences[std::size(stored::kRecordedTables)];
    std::vector<Change> changes;   // in the order they were made
    // Whose step it was and when: kept by a server only ("" and an invalid time from a file).
    QString desktop, role;
    QDateTime madeAt;
};

} // namespace data
