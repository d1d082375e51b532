#pragma once
// The names under which Tallyfold keeps its data: the files and folders and the settings
// keys, part of the stored format (data/StoredFormat.h) that the platform layer needs
// too. A file written by one version must be found by the next: change none of them.

#include <QString>

namespace platform::stored {

// ---- Files and folders
// The working ledger "<data home>/Marlowick/Tallyfold/dbData.mdb", copied from the
// template "dbBlank.mdb" beside the program; the settings "<config home>/Marlowick/
// Tallyfold.conf", keys in the group [Tallyfold].
inline const QString kMakerFolder = QStringLiteral("Marlowick");
inline const QString kProductFolder = QStringLiteral("Tallyfold");
inline const QString kWorkingFileName = QStringLiteral("dbData.mdb");
inline const QString kTemplateFileName = QStringLiteral("dbBlank.mdb");
inline const QString kSettingsFileName = QStringLiteral("Tallyfold.conf");
inline const QString kSettingsGroup = QStringLiteral("Tallyfold");
inline const QString kBackupFolderName = QStringLiteral("Backups");
inline const QString kBackupFactsFileName = QStringLiteral("Backups.ini");
// A backup's name: the working file's base name, "-", its time in this form, ".mdb".
inline const QString kBackupTimeFormat = QStringLiteral("yyyy-MM-dd-HHmmss");

// ---- Settings keys (all values are texts)
inline const QString kWindowStateKey = QStringLiteral("WindowState");       // 0 normal, 1 minimised, 2 maximised
inline const QString kColumnWidthKeyPrefix = QStringLiteral("ColumnHeaders"); // + 1..7: width in twips
inline const QString kCurrencyListKey = QStringLiteral("CurrList");         // symbols joined by ";;;"
inline const QString kCurrencyKey = QStringLiteral("Currency");             // 0-based chosen symbol
inline const QString kSymbolBeforeKey = QStringLiteral("Option1");          // "True": symbol before
inline const QString kSymbolAfterKey = QStringLiteral("Option2");           // "True": symbol after
// CSV statement mappings (CsvProfile's one-line text): the one last used for a header,
// under "CsvProfile." + the header's fingerprint, and those saved under a name the user
// gave, under "CsvProfileNamed." + the name's UTF-8 in hexadecimal (keys are plain names).
inline const QString kCsvProfileKeyPrefix = QStringLiteral("CsvProfile.");
inline const QString kNamedCsvProfileKeyPrefix = QStringLiteral("CsvProfileNamed.");
// The account a statement's source was last imported into (its AccountID), under
// "ImportAccount." + the source's text in hexadecimal (see importing::statementSource).
inline const QString kImportAccountKeyPrefix = QStringLiteral("ImportAccount.");
// The ledger opened at start: "file" (or absent) for the file in the data folder, else a
// server ledger's libpq conninfo, never with a password in it.
inline const QString kLedgerKey = QStringLiteral("Ledger");
inline const QString kFileLedger = QStringLiteral("file");

} // namespace platform::stored
