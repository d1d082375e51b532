#pragma once
// Running the PostgreSQL server's own programs for the throw-away test server: as the
// `postgres` user when this process is root (the server refuses to run as root), as
// ourselves otherwise; and the small process facts the server folders are kept by.

#include <QString>
#include <QStringList>

namespace testing_support::pg {

// What a program ended with: whether it exited with 0, and what it wrote (both
// channels, for the reason when it did not).
struct ProgramRun {
    bool ok = false;
    QString output;
};

// The folder of the server's programs (initdb, pg_ctl, postgres).
QString binFolder();

// Runs `program` from binFolder() with `arguments` in `workingFolder`, as the server's
// user; waits for it to end.
ProgramRun runServerProgram(const QString& program, const QStringList& arguments, const QString& workingFolder);
// Runs any program on the PATH as ourselves.
ProgramRun runProgram(const QString& program, const QStringList& arguments, const QString& workingFolder);

// Makes `path` (one file or folder, not what is below it) the server user's, when we
// are root; gives the reason when that fails.
QString giveToServerUser(const QString& path);

// "15.18": the server's version, read once from initdb.
QString serverVersion();

// This process's identity for folder names, "<pid>.<start time>": the start time tells a
// process from a later one that got the same pid.
QString processTag();
// Whether the process a tag names is still running (a zombie is not).
bool processAlive(const QString& tag);
// Whether the process with this pid is running (a zombie is not).
bool processRunning(qint64 pid);

} // namespace testing_support::pg
