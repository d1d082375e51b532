#pragma once
// The folders the throw-away test servers live in. One base folder per user holds a
// template data folder, made by initdb once per server version and copied for each
// server (a copy starts in a fraction of initdb's time), and one folder per running
// server, named for the process that owns it: a test binary that crashed cannot clean
// up, so the next start stops and removes what such a process left behind.

#include <QString>

namespace testing_support::pg {

// tallyfold-pg-<uid> in /dev/shm when it is memory with room to spare, else in the
// temporary folder.
QString defaultBaseFolder();
// Makes the base folder ready (there, ours, not a link, passable for the server's
// user); the reason when it cannot be.
QString prepareBaseFolder(const QString& base);

// Stops the servers and removes the folders that processes now gone left in `base`.
void removeAbandoned(const QString& base);

// The template data folder for this server version, made now when missing. Two
// processes making it at once each build their own under a temporary name and the
// first to rename it wins. Empty, with *why set, when it cannot be made.
QString templateFolder(const QString& base, QString* why);

// A new, empty folder for one server, owned by this process by its name; empty, with
// *why set, when it cannot be made.
QString newServerFolder(const QString& base, QString* why);
// Removes a server folder whose server is stopped.
void removeFolder(const QString& folder);

} // namespace testing_support::pg
