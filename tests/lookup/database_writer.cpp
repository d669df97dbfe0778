// Another program writing a dream database, for the tests of a file in use: it takes the write
// lock, changes the interpretation of 猫, says "locked" and keeps the lock until its standard
// input closes; then it commits. With "wal" it first switches the file to write-ahead logging.
//
//   database_writer FILE [wal]
#include <sqlite3.h>

#include <cstdio>
#include <string_view>

#include <unistd.h>

namespace {

bool run(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    std::fprintf(stderr, "database_writer: %s: %s\n", sql, error ? error : "?");
    sqlite3_free(error);
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    const bool wal = argc > 2 && std::string_view(argv[2]) == "wal";
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return 1;
    if ((wal && !run(db, "PRAGMA journal_mode=WAL"))
        || !run(db, wal ? "BEGIN IMMEDIATE" : "BEGIN EXCLUSIVE")
        || !run(db, "UPDATE Somnara SET 内容 = '写入后的解释' WHERE 主题 = '猫'"))
        return 1;
    std::puts("locked");
    std::fflush(stdout);

    char byte;
    while (read(STDIN_FILENO, &byte, 1) > 0) {
    }
    const bool committed = run(db, "COMMIT");
    sqlite3_close(db);
    return committed ? 0 : 1;
}
