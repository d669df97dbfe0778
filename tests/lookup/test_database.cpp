#include "test_database.h"

#include "dream_query.h"

#include <sqlite3.h>

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace somnara::test {

TempDir::TempDir()
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = std::filesystem::temp_directory_path()
                         / ("somnara-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

void writeDreamDatabase(const std::filesystem::path &file, const std::vector<Row> &rows,
                        bool caseless)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(file.string().c_str(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot create " + file.string());
    const std::string create = std::string("CREATE TABLE Somnara (编号 INTEGER PRIMARY KEY, 主题 TEXT")
                               + (caseless ? " COLLATE NOCASE" : "") + ", 内容 TEXT)";
    sqlite3_exec(db, create.c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Somnara (主题, 内容) VALUES (?, ?)", -1, &insert, nullptr);
    for (const auto &row : rows) {
        if (row.topic)
            sqlite3_bind_text(insert, 1, row.topic->c_str(), -1, SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(insert, 1);
        if (row.content)
            sqlite3_bind_text(insert, 2, row.content->data(), static_cast<int>(row.content->size()),
                              SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(insert, 2);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT; CREATE INDEX Somnara_主题 ON Somnara (主题)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

void switchToWriteAheadLog(const std::filesystem::path &file)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(file.string().c_str(), &db) != SQLITE_OK
        || sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot switch " + file.string() + " to write-ahead logging");
    }
    sqlite3_close(db);
    if (std::filesystem::exists(file.string() + "-wal"))
        throw std::runtime_error("the log of " + file.string() + " outlived its last connection");
}

std::vector<Row> decoyRows()
{
    return {
        {"父母", "父母的解释"},
        {"猫", "猫的解释"},
        {"狗", "狗的解释"},
        {"水", "水的第一行\r\n第二行\r\n第三行"},
        {"UFO", "UFO的解释"},
        // Each wildcard decoy comes before the row it imitates, so a wildcard taken where it
        // should be an ordinary character finds the decoy first.
        {"100X把握", "一百叉的解释"},
        {"100%把握", "百分之百的解释"},
        {"axb", "axb的解释"},
        {"a_b", "下划线的解释"},
        {"猫'狗", "猫与狗的解释"},
        {"空白", std::nullopt},
        {std::nullopt, "主题为空值的解释"},
        {"", "主题为空串的解释"},
        {"猫头鹰", "猫头鹰的解释"},
        {" 父母", "前有空格的父母"},
    };
}

std::string readBytes(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

CurrentDir::CurrentDir(const std::filesystem::path &dir) : m_previous(std::filesystem::current_path())
{
    std::filesystem::current_path(dir);
}

CurrentDir::~CurrentDir()
{
    std::error_code ec;
    std::filesystem::current_path(m_previous, ec);
}

std::optional<std::string> contentOf(const DreamQuery &query)
{
    return query.value(query.fieldIndex("内容"));
}

} // namespace somnara::test
