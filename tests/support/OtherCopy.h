#pragma once
// Another copy of Tallyfold in a process of its own (support/LedgerCopy.cpp), on the
// ledger of the test's environment, which it inherits. Each command waits for the
// copy's answer line; what the copy told its user meanwhile is kept in told().

#include <QProcess>
#include <QStringList>

namespace testing_support {

class OtherCopy {
public:
    OtherCopy();
    ~OtherCopy();
    OtherCopy(const OtherCopy&) = delete;
    OtherCopy& operator=(const OtherCopy&) = delete;

    // Sends one command ("open", "add TEXT", "exec SQL", "step SQL", "close") and gives
    // its answer.
    QString send(const QString& command);
    const QStringList& told() const { return m_told; }

private:
    QProcess m_process;
    QStringList m_told;
};

} // namespace testing_support
