#include "dream_lookup.h"
#include "dream_query.h"
#include "dream_store.h"
#include "store_error.h"
#include "test_database.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <unistd.h>

using namespace somnara;
using namespace somnara::test;

namespace {

std::optional<std::string> contentOf(const DreamQuery &query)
{
    return query.value(query.fieldIndex("内容"));
}

class LookupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        writeDreamDatabase(dir / "smra.mdb", decoyRows());
        query.setConnectionString(std::string(kConnectionString));
        query.setSql(std::string(kStartStatement));
    }

    TempDir dir;
    CurrentDir cwd{dir.path()};
    DreamQuery query;
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
        LookupCase{"contains_middle", true, "头鹰", "猫头鹰的解释"},
        LookupCase{"contains_firstOfSeveral", true, "猫", "猫的解释"},
        LookupCase{"contains_miss", true, "不存在", std::nullopt},
        LookupCase{"contains_emptyMatchesFirstNonNullTopic", true, "", "父母的解释"},
        LookupCase{"contains_ignoresAsciiCase", true, "fo", "UFO的解释"},
        LookupCase{"contains_apostropheIsACharacter", true, "'", "猫与狗的解释"},
        LookupCase{"contains_percentIsAWildcard", true, "100%把", "一百叉的解释"},
        LookupCase{"contains_underscoreIsAWildcard", true, "a_b", "axb的解释"},
        LookupCase{"contains_blankCounts", true, " 父", "前有空格的父母"},
        LookupCase{"contains_nullContentGivesEmptyRow", true, "空", "<NULL>"}),
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

INSTANTIATE_TEST_SUITE_P(
    Files, BadFiles,
    ::testing::Values(
        BadFile{"missing", [](const auto &) {}, "找不到"},
        BadFile{"directory", [](const auto &f) { std::filesystem::create_directory(f); }, "文件夹"},
        BadFile{"empty", [](const auto &f) { writeText(f, ""); }, "不是梦境数据库"},
        BadFile{"text", [](const auto &f) { writeText(f, "猫\n狗\n"); }, "不是梦境数据库"},
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
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file; permissions cannot be tested as root";
    TempDir dir;
    CurrentDir cwd(dir.path());
    writeDreamDatabase(dir / "smra.mdb", decoyRows());
    std::filesystem::permissions(dir / "smra.mdb", std::filesystem::perms::none);
    DreamQuery query;
    query.setConnectionString(std::string(kConnectionString));
    query.setSql(std::string(kStartStatement));
    EXPECT_THROW(query.open(), StoreError);
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

TEST(OpenStore, neverWritesTheFileOrBesideIt)
{
    TempDir dir;
    CurrentDir cwd(dir.path());
    writeDreamDatabase(dir / "smra.mdb", decoyRows());
    const std::string before = readBytes(dir / "smra.mdb");
    {
        DreamQuery query;
        query.setConnectionString(std::string(kConnectionString));
        query.setSql(std::string(kStartStatement));
        query.open();
        for (const char *keyword : {"猫", "'", "%", ""}) {
            lookUp(query, keyword, false);
            lookUp(query, keyword, true);
        }
        int files = 0;
        for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
            files += entry.path().filename() == "smra.mdb" ? 0 : 1;
        EXPECT_EQ(files, 0) << "a file appeared beside the database";
    }
    EXPECT_EQ(readBytes(dir / "smra.mdb"), before);
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

} // namespace
