#pragma once
// Where a spreadsheet export goes: a new file in the user's Documents folder, named
// after the moment of the export, never one that exists already.

#include <QDateTime>
#include <QString>

namespace output {

// The user's Documents folder, made when it is missing. Throws the application error
// when it cannot be made.
QString exportFolder();

// Makes a new, empty file in folder for an export started at `now` and returns its path:
// "Tallyfold export 2026-12-07 14.03.22.xlsx", or "... (2).xlsx" and on while that name
// is taken. Throws the application error when no file can be made there.
QString reserveExportFile(const QString& folder, const QDateTime& now);

} // namespace output
