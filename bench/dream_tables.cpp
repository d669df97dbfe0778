#include "dream_tables.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <random>
#include <stdexcept>
#include <system_error>

namespace somnara::bench {

namespace {

// The shipped dictionary's own layout, so the planner sees what it sees there.
constexpr const char *kSchema =
    "CREATE TABLE Somnara (编号 INTEGER PRIMARY KEY, 主题 TEXT COLLATE NOCASE, 内容 TEXT, "
    "分类 TEXT)";
constexpr const char *kIndex = "CREATE INDEX Somnara_主题 ON Somnara (主题)";

const char *const kCategories[] = {"人物类", "动物类", "植物类", "物品类", "活动类",
                                   "生活类", "自然类", "鬼神类", "建筑类", "其他类"};

// Text is written the way the dictionary's is: from GB 2312's common characters, with the
// skewed frequencies of running Chinese text (a Zipf law over a shuffled ranking), so a text
// of 200 characters repeats some, as real interpretations do.
class Writer
{
public:
    explicit Writer(uint64_t seed) : m_random(seed)
    {
        auto common = gb2312Hanzi();
        common.resize(kCommonCharacters);
        std::shuffle(common.begin(), common.end(), std::mt19937_64(20240601));
        const auto weight = [](size_t rank) { return 1.0 / static_cast<double>(rank + 1); };
        double total = 0;
        for (size_t rank = 0; rank < common.size(); ++rank)
            total += weight(rank);
        // A 16-bit draw picks a character through this inverse of the cumulative frequencies.
        m_byDraw.reserve(kDraws);
        double cumulative = 0;
        size_t rank = 0;
        for (size_t draw = 0; draw < kDraws; ++draw) {
            const double wanted = (static_cast<double>(draw) + 0.5) / kDraws * total;
            while (rank + 1 < common.size() && cumulative + weight(rank) < wanted)
                cumulative += weight(rank++);
            m_byDraw.push_back(common[rank]);
        }
    }

    std::string hanText(size_t length)
    {
        std::string out;
        out.reserve(length * 3);
        uint64_t bits = 0;
        for (size_t i = 0; i < length; ++i) {
            if (i % 4 == 0)
                bits = m_random();
            out += m_byDraw[bits & 0xFFFF];
            bits >>= 16;
        }
        return out;
    }

    std::string topic() { return hanText(std::uniform_int_distribution<size_t>(1, 8)(m_random)); }

    // About 200 characters.
    std::string content()
    {
        return hanText(std::uniform_int_distribution<size_t>(180, 220)(m_random));
    }

    const char *category()
    {
        return kCategories[std::uniform_int_distribution<size_t>(0, std::size(kCategories) - 1)(
            m_random)];
    }

private:
    static constexpr size_t kCommonCharacters = 3755;
    static constexpr size_t kDraws = 65536;

    std::mt19937_64 m_random;
    std::vector<std::string> m_byDraw;
};

void check(sqlite3 *db, int rc, const char *what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

void exec(sqlite3 *db, const char *sql)
{
    check(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr), sql);
}

void bindText(sqlite3_stmt *statement, int index, const std::string &text)
{
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

void writeTable(const std::filesystem::path &file, size_t rows)
{
    const auto temporary = std::filesystem::path(file).concat(".tmp");
    std::filesystem::remove(temporary);
    sqlite3 *db = nullptr;
    if (sqlite3_open(temporary.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot create " + temporary.string());
    }
    try {
        exec(db, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF");
        exec(db, kSchema);
        exec(db, "BEGIN");
        sqlite3_stmt *insert = nullptr;
        check(db,
              sqlite3_prepare_v2(db, "INSERT INTO Somnara (编号, 主题, 内容, 分类) VALUES (?, ?, ?, ?)",
                                 -1, &insert, nullptr),
              "prepare");
        Writer writer(rows); // same rows on every machine
        for (size_t row = 1; row <= rows; ++row) {
            std::string topic = writer.topic();
            if (row == 2)
                topic = kTopicAtStart;
            else if (row == rows / 2)
                topic = kTopicInMiddle;
            else if (row == rows)
                topic = kTopicAtEnd;
            sqlite3_bind_int64(insert, 1, static_cast<sqlite3_int64>(row));
            bindText(insert, 2, topic);
            bindText(insert, 3, writer.content());
            sqlite3_bind_text(insert, 4, writer.category(), -1, SQLITE_STATIC);
            check(db, sqlite3_step(insert), "insert");
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        exec(db, "COMMIT");
        exec(db, kIndex);
    } catch (...) {
        sqlite3_close(db);
        std::filesystem::remove(temporary);
        throw;
    }
    sqlite3_close(db);
    std::filesystem::rename(temporary, file);
}

// A table from an earlier run is reused only when it is complete.
bool isComplete(const std::filesystem::path &file, size_t rows)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return false;
    sqlite3 *db = nullptr;
    bool complete = false;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *query = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*), max(编号) FROM Somnara WHERE 主题 IN (?, ?, ?)",
                               -1, &query, nullptr)
            == SQLITE_OK) {
            sqlite3_bind_text(query, 1, kTopicAtStart, -1, SQLITE_STATIC);
            sqlite3_bind_text(query, 2, kTopicInMiddle, -1, SQLITE_STATIC);
            sqlite3_bind_text(query, 3, kTopicAtEnd, -1, SQLITE_STATIC);
            complete = sqlite3_step(query) == SQLITE_ROW && sqlite3_column_int64(query, 0) == 3
                       && sqlite3_column_int64(query, 1) == static_cast<sqlite3_int64>(rows);
        }
        sqlite3_finalize(query);
    }
    sqlite3_close(db);
    return complete;
}

} // namespace

std::vector<std::string> gb2312Hanzi()
{
    std::ifstream file(SOMNARA_CHARSET_FILE);
    std::vector<std::string> characters;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        for (size_t i = 0; i + 3 <= line.size(); i += 3) // all of them are three bytes in UTF-8
            characters.push_back(line.substr(i, 3));
    }
    if (characters.size() != 6763)
        throw std::runtime_error("cannot read the character set " SOMNARA_CHARSET_FILE);
    return characters;
}

std::filesystem::path tableFolder(const std::filesystem::path &cache, size_t rows)
{
    return cache / std::to_string(rows);
}

std::filesystem::path tableFile(const std::filesystem::path &cache, size_t rows)
{
    return tableFolder(cache, rows) / "smra.mdb";
}

void ensureTables(const std::filesystem::path &cache)
{
    for (const size_t rows : kTableSizes) {
        const auto file = tableFile(cache, rows);
        if (isComplete(file, rows))
            continue;
        std::cerr << "bench: writing the table of " << rows << " rows to " << file.string()
                  << '\n';
        std::filesystem::create_directories(file.parent_path());
        writeTable(file, rows);
    }
}

std::vector<std::string> sampleTopics(const std::filesystem::path &table, size_t count)
{
    sqlite3 *db = nullptr;
    std::vector<std::string> topics;
    if (sqlite3_open_v2(table.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + table.string());
    }
    sqlite3_stmt *query = nullptr;
    check(db,
          sqlite3_prepare_v2(db, "SELECT 主题 FROM Somnara WHERE 编号 = ?1 * (SELECT max(编号) FROM "
                                 "Somnara) / ?2 + 1",
                             -1, &query, nullptr),
          "prepare");
    for (size_t i = 0; i < count; ++i) {
        sqlite3_bind_int64(query, 1, static_cast<sqlite3_int64>(i));
        sqlite3_bind_int64(query, 2, static_cast<sqlite3_int64>(count));
        if (sqlite3_step(query) == SQLITE_ROW)
            topics.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(query, 0)));
        sqlite3_reset(query);
    }
    sqlite3_finalize(query);
    sqlite3_close(db);
    return topics;
}

std::optional<BenchArguments> readBenchArguments(int argc, char **argv, const char *program)
{
    BenchArguments arguments;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--tables=", 9) == 0)
            arguments.tables = argv[i] + 9;
        else if (std::strncmp(argv[i], "--repetitions=", 14) == 0)
            arguments.repetitions = std::max(1, std::atoi(argv[i] + 14));
        else
            arguments.rest.push_back(argv[i]);
    }
    if (arguments.tables.empty()) {
        std::cerr << "usage: " << program << " --tables=DIR [--repetitions=N] [benchmark flags]\n";
        return std::nullopt;
    }
    return arguments;
}

} // namespace somnara::bench
