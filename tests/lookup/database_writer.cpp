// Another program writing a dream database, for the tests of a file in use: it takes the write
// lock, changes the interpretation of 猫, says "locked" and keeps the lock until its standard
// input closes; then it commits. With "wal" it first switches the file to write-ahead logging;
// with "spill" it rewrites every row through a tiny cache, so that its changes reach the file
// before the commit, as a write too big for memory does.
//
//   database_writer FILE [wal|spill]
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
    const std::string_view mode = argc > 2 ? argv[2] : "";
    const bool wal = mode == "wal";
    const bool spill = mode == "spill";
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return 1;
    if ((wal && !run(db, "PRAGMA journal_mode=WAL"))
        || !run(db, wal ? "BEGIN IMMEDIATE" : "BEGIN EXCLUSIVE")
        || !run(db, "UPDATE Somnara SET 内容 = '写入后的解释' WHERE 主题 = '猫'")
        || (spill
            && (!run(db, "PRAGMA cache_size = 1") || !run(db, "UPDATE Somnara SET 内容 = 内容 || '。'"))))
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
