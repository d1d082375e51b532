#pragma once
// A fresh, throw-away world for one test: a data folder (XDG_DATA_HOME), a settings
// file (XDG_CONFIG_HOME) and a program folder holding the template database, all in
// one temporary folder removed afterwards. The shared connection and the cached
// currency choice are reset on both ends.

#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace testing_support {

class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    QString root() const { return m_dir.path(); }
    QString dataHome() const { return m_dir.path() + QStringLiteral("/data"); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    QString programFolder() const { return m_dir.path() + QStringLiteral("/program"); }
    QString workingDatabase() const;

    // Copies the template into the data folder, as a first start would, and opens
    // the shared connection on it.
    void openLedger();
    // Runs SQL straight on the working file through a separate SQLite handle, for
    // setting up rows the program itself would never write.
    void sqlite(const QString& sql) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldData, m_oldConfig;
};

// The template the build made beside the test executables.
QString builtTemplatePath();

} // namespace testing_support
