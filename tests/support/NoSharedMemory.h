#pragma once
// While one lives, the database files SQLite opens offer no shared-memory calls, as on
// some network shares: a ledger opened then keeps a rollback journal.

#include <map>
#include <sqlite3.h>

namespace testing_support {

class NoSharedMemory {
public:
    NoSharedMemory()
    {
        m_base = sqlite3_vfs_find(nullptr);
        m_vfs = *m_base;
        m_vfs.zName = "no-shared-memory";
        m_vfs.szOsFile = m_base->szOsFile;
        m_vfs.pAppData = this;
        m_vfs.xOpen = [](sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* file, int flags, int* out) {
            auto* self = static_cast<NoSharedMemory*>(vfs->pAppData);
            const int rc = self->m_base->xOpen(self->m_base, name, file, flags, out);
            if (rc == SQLITE_OK && file->pMethods) {
                auto [it, added] = self->m_methods.try_emplace(file->pMethods, *file->pMethods);
                it->second.iVersion = 1;   // no xShmMap and the rest
                file->pMethods = &it->second;
            }
            return rc;
        };
        sqlite3_vfs_register(&m_vfs, 1);
    }
    ~NoSharedMemory()
    {
        sqlite3_vfs_unregister(&m_vfs);
        sqlite3_vfs_register(m_base, 1);
    }
    NoSharedMemory(const NoSharedMemory&) = delete;
    NoSharedMemory& operator=(const NoSharedMemory&) = delete;

private:
    sqlite3_vfs* m_base;
    sqlite3_vfs m_vfs;
    std::map<const sqlite3_io_methods*, sqlite3_io_methods> m_methods;
};

} // namespace testing_support
