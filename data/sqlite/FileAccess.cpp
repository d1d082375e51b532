#include "data/sqlite/FileAccess.h"

#include <QFileInfo>
#include <QUrl>
#include <sqlite3.h>

namespace platform {

QByteArray fileUri(const QString& path, const char* query)
{
    return "file:" + QUrl::toPercentEncoding(path, "/") + query;
}

bool isDamage(int result)
{
    const int primary = result & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

bool hasLog(const QString& path)
{
    const QFileInfo log(path + QStringLiteral("-wal"));
    return log.exists() && log.size() > 0;
}

} // namespace platform
