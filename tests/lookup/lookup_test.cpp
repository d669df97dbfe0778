#include "decoy_folder.h"
#include "dream_lookup.h"
#include "dream_query.h"
#include "dream_store.h"
#include "store_error.h"
#include "test_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

using namespace somnara;
using namespace somnara::test;

namespace {

class LookupTest : public DecoyFolderTest
{
};

struct LookupCase
{
    const char *name;
    bool containment;
    std::string keyword;
    // nullopt: no row at all; "<NULL>": a row whose 内容 is NULL.
    std::optional<std::string> expected;
};

class LookupCases : public LookupTest, public ::testing::WithParamInterface<LookupCase>
{
};

TEST_P(LookupCases, showsTheFirstMatchingRow)
{
    const auto &c = GetParam();
    lookUp(query, c.keyword, c.containment);
    ASSERT_TRUE(query.active());
    if (!c.expected) {
        EXPECT_FALSE(query.hasRow());
        EXPECT_EQ(contentOf(query), std::nullopt);
        return;
    }
    ASSERT_TRUE(query.hasRow());
    if (*c.expected == "<NULL>")
        EXPECT_EQ(contentOf(query), std::nullopt);
    else
        EXPECT_EQ(contentOf(query), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Keywords, LookupCases,
    ::testing::Values(
        LookupCase{"exact_hit", false, "父母", "父母的解释"},
        LookupCase{"exact_isNotContainment", false, "猫", "猫的解释"},
        LookupCase{"exact_miss", false, "月亮", std::nullopt},
        LookupCase{"exact_partialTopicMisses", false, "头鹰", std::nullopt},
        LookupCase{"exact_leadingBlankCounts", false, " 父母", "前有空格的父母"},
        LookupCase{"exact_trailingBlankCounts", false, "父母 ", std::nullopt},
        LookupCase{"exact_emptyFindsEmptyTopicNotNull", false, "", "主题为空串的解释"},
        LookupCase{"exact_ignoresAsciiCase", false, "ufo", "UFO的解释"},
        LookupCase{"exact_apostropheIsACharacter", false, "猫'狗", "猫与狗的解释"},
        LookupCase{"exact_percentIsACharacter", false, "100%把握", "百分之百的解释"},
        LookupCase{"exact_underscoreIsACharacter", false, "a_b", "下划线的解释"},
        LookupCase{"exact_nullContentGivesEmptyRow", false, "空白", "<NULL>"},
        LookupCase{"exact_crlfKept", false, "水", "水的第一行\r\n第二行\r\n第三行"},
        LookupCase{"exact_sqlTextIsJustAKeyword", false, "' or '1'='1", std::nullopt},
        LookupCase{"exact_nulIsACharacter", false, std::string("猫\0狗", 7), std::nullopt},
        LookupCase{"contains_middle", true, "头鹰", "猫头鹰的解释"},
        LookupCase{"contains_firstOfSeveral", true, "猫", "猫的解释"},
        LookupCase{"contains_miss", true, "不存在", std::nullopt},
        LookupCase{"contains_emptyMatchesFirstNonNullTopic", true, "", "父母的解释"},
        LookupCase{"contains_ignoresAsciiCase", true, "fo", "UFO的解释"},
        LookupCase{"contains_apostropheIsACharacter", true, "'", "猫与狗的解释"},
        LookupCase{"contains_percentIsAWildcard", true, "100%把", "一百叉的解释"},
        LookupCase{"contains_underscoreIsAWildcard", true, "a_b", "axb的解释"},
        LookupCase{"contains_blankCounts", true, " 父", "前有空格的父母"},
        LookupCase{"contains_nullContentGivesEmptyRow", true, "空", "<NULL>"},
        // Not "the topics ending in 猫": the keyword goes on past the NUL.
        LookupCase{"contains_nulIsACharacter", true, std::string("猫\0狗", 7), std::nullopt}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(LookupTest, startStatementShowsTheFirstRowOfTheTable)
{
    query.open();
    ASSERT_TRUE(query.hasRow());
    EXPECT_EQ(contentOf(query), "父母的解释");
}

TEST(LookupEmptyKeyword, nullTopicsNeverMatchInEitherMode)
{
    TempDir dir;
    CurrentDir cwd(dir.path());
    writeDreamDatabase(dir / "smra.mdb", {{std::nullopt, "空值"}, {"", "空串"}, {"猫", "猫"}});
    DreamQuery query;
    query.setConnectionString(std::string(kConnectionString));
    for (const bool containment : {false, true}) {
        lookUp(query, "", containment);
        EXPECT_EQ(contentOf(query), "空串") << "containment " << containment;
    }
}

TEST(LookupHostileKeywords, endInAPlainResult)
{
    TempDir dir;
    CurrentDir cwd(dir.path());
    writeDreamDatabase(dir / "smra.mdb", decoyRows());
    DreamQuery query;
    query.setConnectionString(std::string(kConnectionString));
    const std::string keywords[] = {
        std::string(kLikePatternLimit - 2, 'x'),
        std::string("猫\0狗", 7),
        "\x01\x02\t\r\n",
        "\xff\xfe invalid UTF-8 \xc3",
        "'; DROP TABLE Somnara; --",
        "\"", "\\", "[猫]", "*", "?", "％", "，。！",
    };
    for (const auto &keyword : keywords) {
        for (const bool containment : {false, true}) {
            EXPECT_NO_THROW(lookUp(query, keyword, containment));
            EXPECT_TRUE(query.active());
        }
    }
    // Too long for a LIKE pattern: a clear message, and exact lookups still take it.
    const std::string huge(100000, 'x');
    EXPECT_NO_THROW(lookUp(query, huge, false));
    try {
        lookUp(query, huge, true);
        FAIL() << "a pattern beyond SQLite's limit was accepted";
    } catch (const StoreError &error) {
        EXPECT_NE(std::string(error.what()).find("关键词太长"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(query.active());

    lookUp(query, "猫", false);
    EXPECT_EQ(contentOf(query), "猫的解释"); // the table is intact
}

TEST(LookupLongText, comesBackWhole)
{
    TempDir dir;
    CurrentDir cwd(dir.path());
    std::string longText;
    for (int i = 0; i < 30000; ++i)
        longText += "梦" + std::to_string(i % 10);
    ASSERT_GT(longText.size(), 64u * 1024u);
    writeDreamDatabase(dir / "smra.mdb", {{"长", longText}});
    DreamQuery query;
    query.setConnectionString(std::string(kConnectionString));
    lookUp(query, "长", false);
    EXPECT_EQ(contentOf(query), longText);
}

TEST(LookupStatement, keepsTheKeywordOutOfTheSqlText)
{
    EXPECT_EQ(lookupStatement(false), "Select * from Somnara where 主题=:keyword");
    EXPECT_EQ(lookupStatement(true), "Select * from Somnara where 主题 like '%' || :keyword || '%'");
}

// --- Opening the store --------------------------------------------------------------

struct BadFile
{
    const char *name;
    std::function<void(const std::filesystem::path &)> make;
    const char *messagePart;
};

class BadFiles : public ::testing::TestWithParam<BadFile>
{
};

TEST_P(BadFiles, failWithAClearMessageAndLeaveTheQueryClosed)
{
    const auto &c = GetParam();
    TempDir dir;
    CurrentDir cwd(dir.path());
    c.make(dir / "smra.mdb");
    DreamQuery query;
    query.setConnectionString(std::string(kConnectionString));
    query.setSql(std::string(kStartStatement));
    try {
        query.open();
        FAIL() << "opened a bad file";
    } catch (const StoreError &error) {
        const std::string message = error.what();
        EXPECT_NE(message.find(c.messagePart), std::string::npos) << message;
        EXPECT_NE(message.find("smra.mdb"), std::string::npos) << message;
        EXPECT_FALSE(message.ends_with(".")) << message;
    }
    EXPECT_FALSE(query.active());
    EXPECT_FALSE(query.connected());
}

void writeText(const std::filesystem::path &file, const std::string &bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string randomBytes(size_t count)
{
    std::mt19937 random(count);
    std::string bytes(count, '\0');
    for (auto &byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadFiles,
    ::testing::Values(
        BadFile{"missing", [](const auto &) {}, "找不到"},
        BadFile{"directory", [](const auto &f) { std::filesystem::create_directory(f); }, "文件夹"},
        BadFile{"empty", [](const auto &f) { writeText(f, ""); }, "不是梦境数据库"},
        BadFile{"text", [](const auto &f) { writeText(f, "猫\n狗\n"); }, "不是梦境数据库"},
        BadFile{"randomBytes", [](const auto &f) { writeText(f, randomBytes(64 * 1024)); }, "不是梦境数据库"},
        // Past the engine's name the bytes are noise: the Access reader refuses them.
        BadFile{"jetHeaderThenRandomBytes",
                [](const auto &f) {
                    writeText(f, std::string("\x00\x01\x00\x00Standard Jet DB\0", 20) + randomBytes(64 * 1024));
                },
                "smra.mdb"},
        BadFile{"sqliteWithoutTable",
                [](const auto &f) {
                    writeDreamDatabase(f, {});
                    // Rename the table away: a database, but not a dream database.
                    TempDir unused;
                    std::string bytes = readBytes(f);
                    for (auto at = bytes.find("Somnara"); at != std::string::npos;
                         at = bytes.find("Somnara", at))
                        bytes.replace(at, 7, "Another");
                    writeText(f, bytes);
                },
                "Somnara"},
        BadFile{"sqliteHeaderThenGarbage",
                [](const auto &f) { writeText(f, std::string("SQLite format 3\0", 16) + std::string(5000, '\x5a')); },
                "smra.mdb"},
        BadFile{"truncatedSqlite",
                [](const auto &f) {
                    std::vector<Row> rows;
                    for (int i = 0; i < 2000; ++i)
                        rows.push_back({"主题" + std::to_string(i), std::string(300, 'x')});
                    writeDreamDatabase(f, rows);
                    std::filesystem::resize_file(f, 1024);
                },
                "smra.mdb"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(OpenStore, unreadableFileIsReported)
{
    TempDir dir;
    writeDreamDatabase(dir / "smra.mdb", decoyRows());
    std::filesystem::permissions(dir / "smra.mdb", std::filesystem::perms::none);

    // Root reads every file whatever its permissions: the store is opened by a child process
    // that has given root up, and that writes back what it was told.
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        close(pipeEnds[0]);
        std::string told = "opened";
        const uid_t nobody = 65534;
        if (geteuid() == 0 && (setgid(nobody) != 0 || setuid(nobody) != 0)) {
            told = "could not give root up";
        } else {
            try {
                CurrentDir cwd(dir.path());
                DreamQuery query;
                query.setConnectionString(std::string(kConnectionString));
                query.setSql(std::string(kStartStatement));
                query.open();
            } catch (const StoreError &error) {
                told = error.what();
            }
        }
        const bool written = write(pipeEnds[1], told.data(), told.size()) == ssize_t(told.size());
        _exit(written ? 0 : 1);
    }
    close(pipeEnds[1]);
    std::string told;
    char buffer[1024];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        told.append(buffer, static_cast<size_t>(got));
    close(pipeEnds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(told.find("权限"), std::string::npos) << told;
    EXPECT_NE(told.find("smra.mdb"), std::string::npos) << told;
}

TEST(OpenStore, retriesUntilTheFileIsThereThenKeepsTheConnection)
{
    TempDir dir;
    CurrentDir cwd(dir.path());
    DreamQuery query;
    query.setConnectionString(std::string(kConnectionString));
    EXPECT_THROW(lookUp(query, "猫", false), StoreError);
    EXPECT_THROW(lookUp(query, "猫", false), StoreError);

    writeDreamDatabase(dir / "smra.mdb", decoyRows());
    lookUp(query, "猫", false);
    EXPECT_EQ(contentOf(query), "猫的解释");

    // The connection made stays: the file's name no longer matters.
    std::filesystem::rename(dir / "smra.mdb", dir / "moved.mdb");
    lookUp(query, "狗", false);
    EXPECT_EQ(contentOf(query), "狗的解释");
}

TEST(OpenStore, failedStatementLeavesTheQueryClosedAndTheNextOneWorks)
{
    TempDir dir;
    CurrentDir cwd(dir.path());
    writeDreamDatabase(dir / "smra.mdb", decoyRows());
    DreamQuery query;
    query.setConnectionString(std::string(kConnectionString));
    query.setSql("Select * from Somnara where 没有这一列 = 1");
    EXPECT_THROW(query.open(), StoreError);
    EXPECT_FALSE(query.active());
    lookUp(query, "猫", false);
    EXPECT_EQ(contentOf(query), "猫的解释");
}

// A file in write-ahead-log mode too: SQLite would create its log and the log's index beside it
// even for a reading connection.
TEST(OpenStore, neverWritesTheFileOrBesideIt)
{
    for (const bool writeAheadLog : {false, true}) {
        SCOPED_TRACE(writeAheadLog ? "write-ahead log" : "rollback journal");
        TempDir dir;
        CurrentDir cwd(dir.path());
        writeDreamDatabase(dir / "smra.mdb", decoyRows());
        if (writeAheadLog)
            switchToWriteAheadLog(dir / "smra.mdb");
        const std::string before = readBytes(dir / "smra.mdb");
        {
            DreamQuery query;
            query.setConnectionString(std::string(kConnectionString));
            query.setSql(std::string(kStartStatement));
            query.open();
            EXPECT_EQ(contentOf(query), "父母的解释");
            for (const char *keyword : {"猫", "'", "%", ""}) {
                lookUp(query, keyword, false);
                lookUp(query, keyword, true);
            }
            lookUp(query, "猫", false);
            EXPECT_EQ(contentOf(query), "猫的解释");
            std::vector<std::string> beside;
            for (const auto &entry : std::filesystem::directory_iterator(dir.path())) {
                if (entry.path().filename() != "smra.mdb")
                    beside.push_back(entry.path().filename().string());
            }
            EXPECT_EQ(beside, std::vector<std::string>{}) << "files appeared beside the database";
        }
        EXPECT_EQ(readBytes(dir / "smra.mdb"), before);
    }
}

// Such a file is opened by a URI, in which these characters of a folder's name mean otherwise.
TEST(OpenStore, writeAheadLogFileInAFolderNamedWithUriCharacters)
{
    TempDir dir;
    const auto folder = dir / "梦 #1?a=b%20&c";
    std::filesystem::create_directory(folder);
    CurrentDir cwd(folder);
    writeDreamDatabase(folder / "smra.mdb", decoyRows());
    switchToWriteAheadLog(folder / "smra.mdb");
    DreamQuery query;
    query.setConnectionString(std::string(kConnectionString));
    lookUp(query, "猫", false);
    EXPECT_EQ(contentOf(query), "猫的解释");
    EXPECT_FALSE(std::filesystem::exists(folder / "smra.mdb-shm"));
}

TEST(OpenStore, resultWithoutTheContentColumnHasNoSuchField)
{
    TempDir dir;
    CurrentDir cwd(dir.path());
    writeDreamDatabase(dir / "smra.mdb", decoyRows());
    DreamQuery query;
    query.setConnectionString(std::string(kConnectionString));
    query.setSql("select 主题 from Somnara");
    query.open();
    EXPECT_TRUE(query.hasRow());
    EXPECT_EQ(query.fieldIndex("内容"), -1);
    EXPECT_EQ(query.fieldIndex("主题"), 0);
}

TEST(StoreText, providerMessagesLoseTrailingStopsAndBlanks)
{
    const std::pair<std::string, std::string> cases[] = {
        {"database is locked", "database is locked"},
        {"no such table: Somnara.", "no such table: Somnara"},
        {"trailing. . \r\n\t", "trailing"},
        {"...", ""},
        {"", ""},
        {"文件已损坏。", "文件已损坏。"}, // a full-width stop is a character like any other
        {"ends in quote'", "ends in quote'"},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(trimProviderMessage(in), out) << in;
}

TEST(StoreText, dataSourceComesFromTheConnectionString)
{
    const std::pair<std::string, std::string> cases[] = {
        {std::string(kConnectionString), "smra.mdb"},
        {"Data Source=other.mdb", "other.mdb"},
        {"provider=x; data source = spaced name.mdb ;Persist Security Info=False", "spaced name.mdb"},
        {"DATA SOURCE=C:\\dreams\\smra.mdb", "C:\\dreams\\smra.mdb"},
        {"provider=x;Persist Security Info=False", ""},
        {"", ""},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(dataSourceOf(in), out) << in;
}

TEST(StoreFormat, isToldByTheFirstBytes)
{
    TempDir dir;
    writeDreamDatabase(dir / "a.mdb", decoyRows());
    EXPECT_EQ(detectFormat((dir / "a.mdb").string()), FileFormat::SQLite);
    std::string jet(2048, '\0');
    jet.replace(0, 4, std::string("\x00\x01\x00\x00", 4));
    jet.replace(4, 16, std::string("Standard Jet DB\0", 16));
    writeText(dir / "b.mdb", jet);
    EXPECT_EQ(detectFormat((dir / "b.mdb").string()), FileFormat::Jet);
    writeText(dir / "c.mdb", std::string("SQLite format 2\0", 16));
    EXPECT_EQ(detectFormat((dir / "c.mdb").string()), FileFormat::Unknown);
    writeText(dir / "d.mdb", "SQLite");
    EXPECT_EQ(detectFormat((dir / "d.mdb").string()), FileFormat::Unknown);
    EXPECT_EQ(detectFormat((dir / "none.mdb").string()), FileFormat::Missing);
    EXPECT_EQ(detectFormat(dir.path().string()), FileFormat::Directory);
}

// --- Containment: the first match in table order, however the store reads -----------------

struct Layout
{
    const char *name;
    const char *create;  // makes the table the rows go into
    const char *into;    // that table's name
    const char *finish;  // indexes and views made after the rows
    bool topicsIndexed;  // whether the store may scan a topic index instead of the table
};

class ContainmentLayouts : public ::testing::TestWithParam<Layout>
{
};

// Topics that the index sorts the other way round from the table (乙 < 甲 in the index), once
// among the first rows and once far past them; fillers between them match no keyword.
void writeLayout(const std::filesystem::path &file, const Layout &layout)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(file.string().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, layout.create, nullptr, nullptr, nullptr), SQLITE_OK);
    std::vector<std::pair<std::optional<std::string>, std::string>> rows{{std::nullopt, "无主题"}};
    for (int i = 0; i < 5000; ++i)
        rows.emplace_back("填充" + std::to_string(i), "填充的解释");
    rows.insert(rows.begin() + 10, {{"甲狗", "第一只狗"}, {"乙狗", "第二只狗"}});
    rows.insert(rows.begin() + 4000, {{"甲猫", "第一只猫"}, {"乙猫", "第二只猫"}});
    const std::string insert =
        std::string("INSERT INTO ") + layout.into + " (seq, 主题, 内容) VALUES (?, ?, ?)";
    sqlite3_stmt *statement = nullptr;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    ASSERT_EQ(sqlite3_prepare_v2(db, insert.c_str(), -1, &statement, nullptr), SQLITE_OK);
    int seq = 0;
    for (const auto &[topic, content] : rows) {
        sqlite3_bind_int(statement, 1, ++seq);
        if (topic)
            sqlite3_bind_text(statement, 2, topic->c_str(), -1, SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(statement, 2);
        sqlite3_bind_text(statement, 3, content.c_str(), -1, SQLITE_TRANSIENT);
        ASSERT_EQ(sqlite3_step(statement), SQLITE_DONE);
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    ASSERT_EQ(sqlite3_exec(db, layout.finish, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

TEST_P(ContainmentLayouts, findTheFirstMatchInTableOrder)
{
    const Layout &layout = GetParam();
    TempDir dir;
    CurrentDir cwd(dir.path());
    writeLayout(dir / "smra.mdb", layout);
    DreamQuery query;
    query.setConnectionString(std::string(kConnectionString));

    const std::pair<const char *, std::optional<std::string>> cases[] = {
        {"狗", "第一只狗"},   // among the first rows
        {"猫", "第一只猫"},   // far past them
        {"鱼", std::nullopt}, // nowhere
        {"", "填充的解释"},   // every topic but NULL
        {"%猫", "第一只猫"},  // the keyword's own wildcard
    };
    for (const auto &[keyword, expected] : cases) {
        lookUp(query, keyword, true);
        EXPECT_EQ(contentOf(query), expected) << "keyword " << keyword;
    }
    ASSERT_NE(query.store(), nullptr);
    EXPECT_EQ(query.store()->topicsIndexed(), layout.topicsIndexed);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, ContainmentLayouts,
    ::testing::Values(
        Layout{"dictionary",
               "CREATE TABLE Somnara (seq INTEGER PRIMARY KEY, 主题 TEXT COLLATE NOCASE, 内容 TEXT)",
               "Somnara", "CREATE INDEX Somnara_主题 ON Somnara (主题)", true},
        Layout{"indexWithMoreColumns",
               "CREATE TABLE Somnara (seq INTEGER PRIMARY KEY, 主题 TEXT, 内容 TEXT)", "Somnara",
               "CREATE INDEX topics ON Somnara (主题, 内容)", true},
        Layout{"noIndex", "CREATE TABLE Somnara (seq INTEGER PRIMARY KEY, 主题 TEXT, 内容 TEXT)",
               "Somnara", "", false},
        Layout{"partialIndex",
               "CREATE TABLE Somnara (seq INTEGER PRIMARY KEY, 主题 TEXT, 内容 TEXT)", "Somnara",
               "CREATE INDEX topics ON Somnara (主题) WHERE 主题 > '乙'", false},
        Layout{"indexNotLedByTopic",
               "CREATE TABLE Somnara (seq INTEGER PRIMARY KEY, 主题 TEXT, 内容 TEXT)", "Somnara",
               "CREATE INDEX texts ON Somnara (内容, 主题)", false},
        Layout{"view", "CREATE TABLE base (seq INTEGER PRIMARY KEY, 主题 TEXT, 内容 TEXT)", "base",
               "CREATE INDEX topics ON base (主题); CREATE VIEW Somnara AS SELECT * FROM base",
               false},
        Layout{"withoutRowid",
               "CREATE TABLE Somnara (seq INTEGER PRIMARY KEY, 主题 TEXT, 内容 TEXT) WITHOUT ROWID",
               "Somnara", "CREATE INDEX topics ON Somnara (主题)", false},
        // A column called rowid hides the real one; its values run against the table order.
        Layout{"rowidColumn", "CREATE TABLE Somnara (seq INTEGER, 主题 TEXT, 内容 TEXT, rowid INTEGER)",
               "Somnara",
               "UPDATE Somnara SET rowid = -seq; CREATE INDEX topics ON Somnara (主题)", false}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
