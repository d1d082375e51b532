#pragma once
// What the user is told about the ledger file itself: the one place for those texts.

#include "data/Connection.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace data {

// The message for a problem with the ledger file: what is wrong, where the file is,
// and that Tallyfold leaves it as it is. detail is the database's own words.
QString problemMessage(platform::FileProblem problem, const QString& file, const QString& detail);

// The message for a problem with a ledger on a server; `ledger` names it as the
// caption does ("<database> on <host>"), detail is the server's (or libpq's) own words,
// or for NotALedger what the database holds instead, for NewerVersion its format.
QString serverProblemMessage(platform::FileProblem problem, const QString& ledger, const QString& detail);
// Why a server ledger could not be opened at all (unreachable, refused, a certificate).
QString serverNotOpenedMessage(const QString& ledger, const QString& detail);
// Why a server ledger was not even tried: the text naming it is no conninfo libpq can
// read (detail: which part, every secret masked).
QString unreadableConninfoMessage(const QString& detail);
// The server is back after it went away: the list has been read again.
QString serverBackMessage(const QString& ledger);
// Whether the change whose commit the server went away during was saved after all
// (nullopt: the server could not tell).
QString uncertainChangeMessage(std::optional<bool> landed);
// A change the server rolled back as it was committed (a check it makes at the end, a
// conflict with another desktop's change).
QString rolledBackMessage();
// Every statement of a change whose connection to the server was lost part way is
// refused until the change is abandoned (rolled back).
QString lostTransactionMessage();
// For NotALedger: what an empty database, or one holding something else, is told.
QString emptyDatabaseDetail();
QString otherTablesDetail();
// For NotALedger: a ledger lacking some of its tables (their names).
QString missingTablesDetail(const QStringList& tables);
// A server ledger the login role may not read at all.
QString serverNoRightsMessage(const QString& ledger);
// For NotALedger: an empty database the server would not let become a ledger (why: its
// own words).
QString noLedgerMadeDetail(const QString& why);

// The note the main window's caption carries while the ledger has a problem ("" when
// it has none): the list shows what could be read, or nothing.
QString problemNote(platform::FileProblem problem);
// The same for a ledger on a server, which is no file.
QString serverProblemNote(platform::FileProblem problem);

// A delete that found its transaction gone already: someone else (another desktop on a
// shared ledger, another program on the file) deleted it after the list was read.
QString alreadyDeletedMessage(const QString& transactionNumber);

// Who changed a row since a step, as undoConflictMessage names them: nobody the history
// knows ("by another program"); on a file, what cannot be told apart ("by another copy
// of Tallyfold or another program"); on a server, the desktop "<role>@<host>/<user>"
// whose step it was, named as people know it ("on the desktop ben@kitchen").
QString changedByAnotherProgram();
QString changedByAnotherCopy();
QString changedOnDesktop(const QString& desktop);

// Why the step `label` could not be undone (or redone): the row `key` of `table`
// ("Accounts", "Transactions") has been changed since, `changedBy` (above).
QString undoConflictMessage(const QString& label, const QString& table, qint64 key, bool redo,
                            const QString& changedBy = changedByAnotherProgram());

// Why no backup of the ledger could be made in `folder` (problem: the details); the
// program goes on without one.
QString backupFailureMessage(const QString& folder, const QString& problem);
// A backup was made in `folder`, but what it was made from could not be noted
// (problem: why), so the next start makes another.
QString backupUnnotedMessage(const QString& folder, const QString& problem);

// The restore of a backup: the question before it, what it did, why it did nothing.
// `backup` names the backup as describeBackup() does.
QString restoreQuestion(const QString& backup);
QString noBackupsMessage(const QString& folder);
// Why "Restore a Backup" lists nothing on a server ledger (`ledger`: its title).
QString serverBackupsMessage(const QString& ledger);
// Asked before an empty server database becomes a ledger, and for a server's password
// (`ledger`: "<database> on <host>").
QString createLedgerQuestion(const QString& ledger);
QString passwordPrompt(const QString& ledger);
// keptAs: the time of the backup now holding the ledger as it was ("" when none);
// damagedAs: where a damaged ledger was put aside ("" when it was not damaged).
QString restoredMessage(const QString& backup, const QString& keptAs, const QString& damagedAs);
QString restoreRefusal(const QString& problem);
// Why a restore replaced nothing while another copy of the program, or another
// program, had the ledger open.
QString ledgerInUseRefusal();
// Why a file among the backups is not restored: it is no sound ledger this version
// reads (problem: what is wrong with it).
QString notABackupMessage(const QString& path, const QString& problem);
QString damagedBackupMessage(const QString& path, const QString& problem);

} // namespace data
