#pragma once
// How this back end reaches an SQLite file, written once for every connection that
// opens one (the ledger's writer and readers, the background check, the copy): its
// URI, how long it waits for another program, and how it tells damage and a log.

#include <QByteArray>
#include <QString>

namespace platform {

// How long a statement waits for another program holding the file before it fails
// with "database is locked".
inline constexpr int kBusyTimeoutMs = 5000;

// An SQLite file URI for `path`; `query` starts with "?" when given.
QByteArray fileUri(const QString& path, const char* query = "");

// Whether SQLite's result code says the file is damaged (or no database at all).
bool isDamage(int result);

// Whether a write-ahead log beside the file at `path` holds anything.
bool hasLog(const QString& path);

} // namespace platform
