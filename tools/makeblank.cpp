// Builds the empty ledger template from the schema file: makeblank schema.sql dbBlank.mdb
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sqlite3.h>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: makeblank SCHEMA.sql OUTPUT\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    std::stringstream schema;
    schema << in.rdbuf();
    if (!in) {
        std::fprintf(stderr, "makeblank: cannot read %s\n", argv[1]);
        return 1;
    }
    std::remove(argv[2]);
    sqlite3* db = nullptr;
    char* error = nullptr;
    if (sqlite3_open(argv[2], &db) != SQLITE_OK
        || sqlite3_exec(db, schema.str().c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "makeblank: %s\n", error ? error : sqlite3_errmsg(db));
        sqlite3_close(db);
        std::remove(argv[2]);
        return 1;
    }
    sqlite3_close(db);
    return 0;
}
