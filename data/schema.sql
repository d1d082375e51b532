-- The empty ledger. The build turns this into dbBlank.mdb beside the program; the first
-- start copies that file into the data folder, and older ledgers are rebuilt to it (the
-- version below is platform/StoredFormat.h's kLedgerVersion). Stored formats: that header.
-- Amounts are finite: abs() of an infinity is more than the largest double.
-- UndoSteps and UndoLog hold the undo history, ImportKeys what each imported statement row
-- is known by (what their columns mean: that header).
PRAGMA user_version = 4;

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

CREATE TABLE UndoSteps (
    StepID               INTEGER PRIMARY KEY,
    Label                TEXT NOT NULL,
    Undone               INTEGER NOT NULL DEFAULT 0,
    AccountsSequence     INTEGER,
    TransactionsSequence INTEGER,
    ImportKeysSequence   INTEGER,
    TableName            TEXT NOT NULL,
    RowKey               INTEGER NOT NULL,
    Before               INTEGER NOT NULL,
    After                INTEGER NOT NULL,
    B1, B2, B3, B4, B5, B6,
    A1, A2, A3, A4, A5, A6
);

CREATE TABLE UndoLog (
    StepID    INTEGER NOT NULL,
    Seq       INTEGER NOT NULL,
    TableName TEXT NOT NULL,
    RowKey    INTEGER NOT NULL,
    Before    INTEGER NOT NULL,
    After     INTEGER NOT NULL,
    B1, B2, B3, B4, B5, B6,
    A1, A2, A3, A4, A5, A6,
    PRIMARY KEY (StepID, Seq)
) WITHOUT ROWID;

CREATE TABLE ImportKeys (
    ImportKeyID       INTEGER PRIMARY KEY AUTOINCREMENT,
    AccountID         INTEGER NOT NULL,
    ImportKey         TEXT NOT NULL,
    KeyDate           TEXT NOT NULL,
    KeyCents          INTEGER NOT NULL,
    TransactionNumber INTEGER NOT NULL
);

CREATE INDEX ImportKeysByAccount ON ImportKeys (AccountID);
CREATE INDEX ImportKeysByTransaction ON ImportKeys (TransactionNumber);
