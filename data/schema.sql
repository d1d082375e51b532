-- The empty ledger. The build turns this into dbBlank.mdb beside the program; the first
-- start copies that file into the data folder, and older ledgers are rebuilt to it (the
-- version below is platform/StoredFormat.h's kLedgerVersion). Stored formats: that header.
-- Amounts are finite: abs() of an infinity is more than the largest double.
PRAGMA user_version = 2;

CREATE TABLE Accounts (
    AccountID   INTEGER PRIMARY KEY AUTOINCREMENT,
    AccountName TEXT
);

CREATE TABLE Transactions (
    TransactionNumber      INTEGER PRIMARY KEY AUTOINCREMENT,
    TransactionDate        TEXT
        CONSTRAINT TransactionDateIsADate
        CHECK (TransactionDate IS NULL
               OR TransactionDate GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]*'),
    TransactionDescription TEXT,
    AccountID              INTEGER,
    WithdrawalAmount       REAL
        CONSTRAINT WithdrawalAmountIsANumber
        CHECK (WithdrawalAmount IS NULL OR (typeof(WithdrawalAmount) IN ('real', 'integer')
                                 AND abs(WithdrawalAmount) <= 1.7976931348623157e308)),
    DepositAmount          REAL
        CONSTRAINT DepositAmountIsANumber
        CHECK (DepositAmount IS NULL OR (typeof(DepositAmount) IN ('real', 'integer')
                                 AND abs(DepositAmount) <= 1.7976931348623157e308)),
    Taxable                INTEGER
        CONSTRAINT TaxableIsYesOrNo
        CHECK (Taxable IS NULL OR Taxable IN (0, 1))
);

CREATE INDEX TransactionsByAccount ON Transactions (AccountID);

CREATE TABLE tblReport (
    "Date"      TEXT,
    ValueIn     REAL,
    ValueOut    REAL,
    Account     TEXT,
    Description TEXT
);
