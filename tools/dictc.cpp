// Builds the dream database from the dictionary's source text, after checking every entry.
//
//   somnara-dictc --charset gb2312-hanzi.txt [--out smra.mdb] source.txt…
//
// Without --out it only checks. Faults are printed as file:line: message, and the exit
// status is 1.

#include "dict_source.h"

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

bool exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::cerr << "somnara-dictc: " << (error ? error : "SQLite error") << '\n';
        sqlite3_free(error);
        return false;
    }
    return true;
}

bool insertRow(sqlite3_stmt *insert, const std::string &topic, const std::string &content,
               const std::string &category)
{
    sqlite3_bind_text(insert, 1, topic.data(), static_cast<int>(topic.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert, 2, content.data(), static_cast<int>(content.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert, 3, category.data(), static_cast<int>(category.size()), SQLITE_STATIC);
    const bool done = sqlite3_step(insert) == SQLITE_DONE;
    sqlite3_reset(insert);
    return done;
}

// Writes to a temporary name first, so a failed build never leaves half a database behind.
bool writeDatabase(const std::vector<somnara::dict::Entry> &entries, const std::string &out)
{
    const std::string temporary = out + ".tmp";
    std::filesystem::remove(temporary);
    sqlite3 *db = nullptr;
    if (sqlite3_open(temporary.c_str(), &db) != SQLITE_OK) {
        std::cerr << "somnara-dictc: cannot create " << temporary << '\n';
        sqlite3_close(db);
        return false;
    }
    bool ok = exec(db, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;"
                       "CREATE TABLE Somnara (编号 INTEGER PRIMARY KEY, 主题 TEXT COLLATE NOCASE, "
                       "内容 TEXT, 分类 TEXT); BEGIN");
    sqlite3_stmt *insert = nullptr;
    if (ok)
        ok = sqlite3_prepare_v2(db, "INSERT INTO Somnara (主题, 内容, 分类) VALUES (?, ?, ?)", -1,
                                &insert, nullptr)
             == SQLITE_OK;
    for (const auto &entry : entries) {
        if (!ok)
            break;
        const std::string content = somnara::dict::content(entry);
        ok = insertRow(insert, entry.topic, content, entry.category);
        for (const auto &alias : entry.aliases)
            ok = ok && insertRow(insert, alias, content, entry.category);
    }
    sqlite3_finalize(insert);
    ok = ok && exec(db, "COMMIT; CREATE INDEX Somnara_主题 ON Somnara (主题); VACUUM");
    sqlite3_close(db);
    if (ok) {
        std::error_code ec;
        std::filesystem::rename(temporary, out, ec);
        ok = !ec;
    }
    if (!ok) {
        std::cerr << "somnara-dictc: cannot write " << out << '\n';
        std::filesystem::remove(temporary);
    }
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    std::string charsetFile;
    std::string out;
    std::vector<std::string> sources;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--charset" && i + 1 < argc)
            charsetFile = argv[++i];
        else if (arg == "--out" && i + 1 < argc)
            out = argv[++i];
        else
            sources.push_back(arg);
    }
    if (charsetFile.empty() || sources.empty()) {
        std::cerr << "usage: somnara-dictc --charset gb2312-hanzi.txt [--out smra.mdb] source.txt…\n";
        return 2;
    }

    try {
        const auto charset = somnara::dict::Charset::load(charsetFile);
        const auto result = somnara::dict::parse(sources, charset);
        for (const auto &problem : result.problems)
            std::cerr << problem.file << ':' << problem.line << ": " << problem.message << '\n';
        if (!result.problems.empty())
            return 1;
        if (!out.empty() && !writeDatabase(result.entries, out))
            return 1;
    } catch (const std::exception &error) {
        std::cerr << "somnara-dictc: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
