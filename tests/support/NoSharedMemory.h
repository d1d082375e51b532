#pragma once
// While one lives, the database files SQLite opens behave as on a file system with a
// shortcoming: NoSharedMemory offers no shared-memory calls, as on some network shares
// (a ledger opened then keeps a rollback journal); NoWrites fails every write, as a
// disk that has gone bad.

#include <map>
#include <sqlite3.h>

namespace testing_support {

// SQLite's default files, each with the calls `adjust` changes, for as long as it lives.
class AdjustedFiles {
public:
    AdjustedFiles(const char* name, void (*adjust)(sqlite3_io_methods&)) : m_adjust(adjust)
    {
        m_base = sqlite3_vfs_find(nullptr);
        m_vfs = *m_base;
        m_vfs.zName = name;
        m_vfs.szOsFile = m_base->szOsFile;
        m_vfs.pAppData = this;
        m_vfs.xOpen = [](sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* file, int flags, int* out) {
            auto* self = static_cast<AdjustedFiles*>(vfs->pAppData);
            const int rc = self->m_base->xOpen(self->m_base, name, file, flags, out);
            if (rc == SQLITE_OK && file->pMethods) {
                auto [it, added] = self->m_methods.try_emplace(file->pMethods, *file->pMethods);
                if (added)
                    self->m_adjust(it->second);
                file->pMethods = &it->second;
            }
            return rc;
        };
        sqlite3_vfs_register(&m_vfs, 1);
    }
    ~AdjustedFiles()
    {
        sqlite3_vfs_unregister(&m_vfs);
        sqlite3_vfs_register(m_base, 1);
    }
    AdjustedFiles(const AdjustedFiles&) = delete;
    AdjustedFiles& operator=(const AdjustedFiles&) = delete;

private:
    void (*m_adjust)(sqlite3_io_methods&);
    sqlite3_vfs* m_base;
    sqlite3_vfs m_vfs;
    std::map<const sqlite3_io_methods*, sqlite3_io_methods> m_methods;
};

class NoSharedMemory : public AdjustedFiles {
public:
    NoSharedMemory()
        : AdjustedFiles("no-shared-memory", [](sqlite3_io_methods& methods) {
            methods.iVersion = 1;   // no xShmMap and the rest
        })
    {
    }
};

class NoWrites : public AdjustedFiles {
public:
    NoWrites()
        : AdjustedFiles("no-writes", [](sqlite3_io_methods& methods) {
            methods.xWrite = [](sqlite3_file*, const void*, int, sqlite3_int64) { return SQLITE_IOERR_WRITE; };
        })
    {
    }
};

} // namespace testing_support
