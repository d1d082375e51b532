#pragma once
// Readable failure messages: gtest prints Qt strings as text, not as raw bytes.

#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << "{ ";
    for (const QString& text : list) {
        PrintTo(text, os);
        *os << ' ';
    }
    *os << '}';
}
