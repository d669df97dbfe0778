#include "jet_reader.h"

#include "dream_lookup.h"
#include "dream_query.h"
#include "dream_store.h"
#include "sqlite.h"
#include "store_error.h"
#include "test_database.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace somnara;
using namespace somnara::test;

namespace {

namespace fs = std::filesystem;

using Value = std::optional<std::string>;
using Rows = std::vector<std::vector<Value>>;

fs::path jetFixture(const std::string &name)
{
    return fs::path(SOMNARA_SHARED_FIXTURES) / "jet" / name;
}

#define REQUIRE_JET(file)                                                                        \
    do {                                                                                         \
        if (!jetSupported())                                                                     \
            GTEST_SKIP() << "this build reads no Access files (built without libmdb)";          \
        if (!fs::exists(file))                                                                   \
            GTEST_SKIP() << "Jet fixture not found: " << (file);                                 \
    } while (0)

Rows select(const sqlite::Database &db, const std::string &sql)
{
    sqlite::Statement statement(db, sql);
    Rows rows;
    while (statement.step()) {
        std::vector<Value> row;
        for (int i = 0; i < statement.columnCount(); ++i)
            row.push_back(statement.text(i));
        rows.push_back(std::move(row));
    }
    return rows;
}

void writeBytes(const fs::path &file, const std::string &bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// UTF-8 to UTF-16LE bytes, as Jet keeps uncompressed text.
std::string utf16le(const std::string &utf8)
{
    std::string out;
    auto unit = [&out](uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const int length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        uint32_t cp = length == 1 ? c : length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
        for (int k = 1; k < length; ++k)
            cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += length;
        if (cp >= 0x10000) {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out;
}

// What must hold for any damaged copy: either the load is refused with a message naming the
// file, or the table comes back exactly as from the intact file. Never a part of it.
void expectIntactOrRefused(const fs::path &file, const Rows &intact)
{
    try {
        auto db = loadJetTable(file.string(), "smra.mdb");
        EXPECT_EQ(select(db, "select * from Somnara"), intact);
    } catch (const StoreError &error) {
        EXPECT_NE(std::string(error.what()).find("“smra.mdb”"), std::string::npos) << error.what();
    }
}

std::string refusal(const fs::path &file)
{
    try {
        loadJetTable(file.string(), "smra.mdb");
    } catch (const StoreError &error) {
        return error.what();
    }
    return {};
}

// Just enough of the Jet 4 page layout to damage a copy of a fixture on purpose.
class JetBytes
{
public:
    static constexpr size_t kPage = 4096;
    static constexpr size_t kRowCount = 12; // then one 16-bit slot per row

    explicit JetBytes(std::string bytes) : data(std::move(bytes)) {}

    size_t pages() const { return data.size() / kPage; }
    uint32_t get16(size_t at) const { return byte(at) | byte(at + 1) << 8; }
    uint32_t get32(size_t at) const { return get16(at) | get16(at + 2) << 16; }
    void put16(size_t at, uint32_t value)
    {
        data[at] = static_cast<char>(value & 0xFF);
        data[at + 1] = static_cast<char>(value >> 8 & 0xFF);
    }
    void put32(size_t at, uint32_t value)
    {
        put16(at, value & 0xFFFF);
        put16(at + 2, value >> 16);
    }

    // The table definition page of the table with that many rows and columns.
    size_t tableDefinition(uint32_t rows, uint32_t columns) const
    {
        for (size_t page = 1; page < pages(); ++page) {
            const size_t at = page * kPage;
            if (byte(at) == 0x02 && get32(at + 16) == rows && get16(at + 45) == columns)
                return page;
        }
        return 0;
    }

    // Where the type of column `column` of table `definition` is kept.
    size_t columnType(size_t definition, size_t column) const
    {
        const size_t at = definition * kPage;
        return at + 63 + 12 * get32(at + 51) + 25 * column;
    }

    struct Slot
    {
        size_t page = 0;
        size_t slot = 0;
        size_t start = 0; // file offset of the row
        size_t end = 0;
    };

    size_t slotAt(const Slot &s) const { return s.page * kPage + kRowCount + 2 + 2 * s.slot; }

    // The row of table `definition` whose first column (a Long Integer) is `id`.
    Slot rowWithId(size_t definition, uint32_t id) const
    {
        for (size_t page = 1; page < pages(); ++page) {
            const size_t at = page * kPage;
            if (byte(at) != 0x01 || get32(at + 4) != definition)
                continue;
            const uint32_t rows = get16(at + kRowCount);
            for (uint32_t slot = 0; slot < rows; ++slot) {
                const size_t start = at + (get16(at + kRowCount + 2 + 2 * slot) & 0x1FFF);
                const size_t end = slot == 0 ? at + kPage
                                             : at + (get16(at + kRowCount + 2 * slot) & 0x1FFF);
                if (get32(start + 2) == id)
                    return {page, slot, start, end};
            }
        }
        return {};
    }

    // Appends a data page holding one row; returns its number.
    size_t appendPage(const std::string &signature, const std::string &row, bool deletedFlag)
    {
        const size_t page = pages();
        std::string fresh(kPage, '\0');
        fresh[0] = 0x01;
        fresh[1] = 0x01;
        fresh.replace(4, 4, signature);
        data += fresh;
        const size_t at = page * kPage;
        put16(at + kRowCount, 1);
        put16(at + kRowCount + 2,
              static_cast<uint32_t>(kPage - row.size()) | (deletedFlag ? 0x8000 : 0));
        data.replace(at + kPage - row.size(), row.size(), row);
        return page;
    }

    static std::string le32(uint32_t value)
    {
        std::string out(4, '\0');
        for (int i = 0; i < 4; ++i)
            out[i] = static_cast<char>(value >> (8 * i) & 0xFF);
        return out;
    }

    std::string data;

private:
    uint32_t byte(size_t at) const { return static_cast<unsigned char>(data.at(at)); }
};

// ---------------------------------------------------------------------------------------------
// The lookups the program runs, against dreams.mdb found as smra.mdb in the current folder.

class JetLookupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        REQUIRE_JET(jetFixture("dreams.mdb"));
        fs::copy_file(jetFixture("dreams.mdb"), dir / "smra.mdb");
        fs::permissions(dir / "smra.mdb", fs::perms::owner_read | fs::perms::owner_write);
        query.setConnectionString(std::string(kConnectionString));
        query.setSql(std::string(kStartStatement));
    }

    Value field(const char *name) const { return query.value(query.fieldIndex(name)); }

    TempDir dir;
    CurrentDir cwd{dir.path()};
    DreamQuery query;
};

struct LookupCase
{
    const char *name;
    bool containment;
    std::string keyword;
    std::optional<int> id; // 编号 of the row shown; nullopt when none
};

class JetLookupCases : public JetLookupTest, public ::testing::WithParamInterface<LookupCase>
{
};

TEST_P(JetLookupCases, showsTheFirstMatchingRow)
{
    const auto &c = GetParam();
    lookUp(query, c.keyword, c.containment);
    ASSERT_TRUE(query.active());
    if (!c.id) {
        EXPECT_FALSE(query.hasRow()) << "shown: " << field("主题").value_or("<NULL>");
        return;
    }
    ASSERT_TRUE(query.hasRow());
    EXPECT_EQ(field("编号"), std::to_string(*c.id));
}

INSTANTIATE_TEST_SUITE_P(
    Dreams, JetLookupCases,
    ::testing::Values(
        LookupCase{"exact_hit", false, "父母", 1},
        LookupCase{"exact_isNotContainment", false, "猫", 2},
        LookupCase{"exact_miss", false, "月亮", std::nullopt},
        LookupCase{"exact_partialTopicMisses", false, "头鹰", std::nullopt},
        LookupCase{"exact_emptyFindsEmptyTopicNotNull", false, "", 13},
        LookupCase{"exact_leadingBlankCounts", false, " 猫", std::nullopt},
        LookupCase{"exact_trailingBlankCounts", false, "猫 ", std::nullopt},
        LookupCase{"exact_apostropheIsACharacter", false, "猫'狗", 10},
        LookupCase{"exact_percentIsOrdinary", false, "100%把握", 8},
        LookupCase{"exact_percentIsNoWildcard", false, "父%", std::nullopt},
        LookupCase{"exact_underscoreIsOrdinary", false, "a_b", 9},
        LookupCase{"exact_underscoreIsNoWildcard", false, "U_O", std::nullopt},
        LookupCase{"exact_asciiCaseIgnored", false, "ufo", 7},
        LookupCase{"exact_asciiMixedCaseIgnored", false, "uFo", 7},
        LookupCase{"contains_firstInTableOrder", true, "猫", 2},
        LookupCase{"contains_middleOfTopic", true, "头", 14},
        LookupCase{"contains_miss", true, "月亮", std::nullopt},
        LookupCase{"contains_emptyFindsFirstNonNullTopic", true, "", 1},
        LookupCase{"contains_blankCounts", true, " 猫", std::nullopt},
        LookupCase{"contains_apostrophe", true, "'", 10},
        LookupCase{"contains_percentIsWildcard", true, "父%", 1},
        LookupCase{"contains_percentAloneMatchesAnyTopic", true, "%", 1},
        LookupCase{"contains_underscoreIsWildcard", true, "U_O", 7},
        LookupCase{"contains_underscoreMatchesTheApostrophe", true, "猫_狗", 10},
        LookupCase{"contains_asciiCaseIgnored", true, "fo", 7},
        LookupCase{"contains_asciiCaseIgnoredWithWildcard", true, "A_B", 9}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(JetLookupTest, nullContentStaysNull)
{
    lookUp(query, "空白", false);
    ASSERT_TRUE(query.hasRow());
    EXPECT_EQ(field("主题"), "空白");
    EXPECT_EQ(field("内容"), std::nullopt);
}

TEST_F(JetLookupTest, emptyTopicIsNotNull)
{
    lookUp(query, "", false);
    ASSERT_TRUE(query.hasRow());
    EXPECT_EQ(field("主题"), std::string());
    EXPECT_NE(field("内容"), std::nullopt);
}

TEST_F(JetLookupTest, nullTopicStaysNull)
{
    query.setSql("select * from Somnara where 编号=12");
    query.open();
    ASSERT_TRUE(query.hasRow());
    EXPECT_EQ(field("主题"), std::nullopt);
    EXPECT_NE(field("内容"), std::nullopt);
}

TEST_F(JetLookupTest, lineBreaksComeBackAsCrLf)
{
    lookUp(query, "水", false);
    ASSERT_TRUE(query.hasRow());
    const std::string content = field("内容").value_or("");
    size_t crlf = 0;
    size_t lf = 0;
    for (size_t i = 0; i < content.size(); ++i) {
        if (content[i] == '\n') {
            ++lf;
            if (i > 0 && content[i - 1] == '\r')
                ++crlf;
        }
    }
    EXPECT_EQ(crlf, 2u) << content;
    EXPECT_EQ(lf, 2u) << content;
    EXPECT_EQ(std::count(content.begin(), content.end(), '\r'), 2) << content;
}

TEST_F(JetLookupTest, fileIsLeftUntouched)
{
    const std::string before = readBytes(dir / "smra.mdb");
    const auto writeTime = fs::last_write_time(dir / "smra.mdb");
    query.open();
    lookUp(query, "猫", true);
    lookUp(query, "水", false);
    query.close();
    EXPECT_EQ(readBytes(dir / "smra.mdb"), before);
    EXPECT_EQ(fs::last_write_time(dir / "smra.mdb"), writeTime);
}

TEST_F(JetLookupTest, readOnlyFileLoads)
{
    fs::permissions(dir / "smra.mdb", fs::perms::owner_read);
    lookUp(query, "父母", false);
    ASSERT_TRUE(query.hasRow());
    EXPECT_EQ(field("编号"), "1");
}

// ---------------------------------------------------------------------------------------------
// Each fixture as the program shows it at start.

struct FixtureCase
{
    const char *name;
    const char *file;
    std::vector<std::string> fields;
    Value firstTopic; // nullopt: the table is empty
    const char *error; // a part of the message when the file is refused
};

class JetFixtureCases : public ::testing::TestWithParam<FixtureCase>
{
};

TEST_P(JetFixtureCases, showsTheFirstRowOrTheReason)
{
    const auto &c = GetParam();
    REQUIRE_JET(jetFixture(c.file));
    TempDir dir;
    fs::copy_file(jetFixture(c.file), dir / "smra.mdb");
    CurrentDir cwd(dir.path());
    DreamQuery query;
    query.setConnectionString(std::string(kConnectionString));
    query.setSql(std::string(kStartStatement));

    if (c.error) {
        try {
            query.open();
            FAIL() << "opened";
        } catch (const StoreError &error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(c.error), std::string::npos) << message;
            EXPECT_NE(message.find("smra.mdb"), std::string::npos) << message;
        }
        EXPECT_FALSE(query.active());
        return;
    }
    query.open();
    ASSERT_TRUE(query.active());
    EXPECT_EQ(query.fieldNames(), c.fields);
    ASSERT_EQ(query.hasRow(), c.firstTopic.has_value());
    if (c.firstTopic) {
        EXPECT_EQ(query.value(query.fieldIndex("主题")), c.firstTopic);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, JetFixtureCases,
    ::testing::Values(
        FixtureCase{"dreams", "dreams.mdb", {"编号", "主题", "内容"}, "父母", nullptr},
        FixtureCase{"empty", "empty.mdb", {"编号", "主题", "内容"}, std::nullopt, nullptr},
        FixtureCase{"noContentColumn", "no-content-column.mdb", {"主题", "解释"}, "父母", nullptr},
        FixtureCase{"textContent", "text-content.mdb", {"编号", "主题", "内容"}, "父母", nullptr},
        FixtureCase{"otherTable", "other-table.mdb", {}, std::nullopt, "没有数据表 Somnara"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(JetFixtures, noContentColumnLooksUpWithoutContent)
{
    REQUIRE_JET(jetFixture("no-content-column.mdb"));
    auto db = loadJetTable(jetFixture("no-content-column.mdb").string(), "smra.mdb");
    const Rows expected = {{"父母"}, {"猫"}, {"月亮"}};
    EXPECT_EQ(select(db, "select 主题 from Somnara order by rowid"), expected);
    EXPECT_EQ(select(db, "select count(*) from Somnara where 主题='月亮'"), Rows{{"1"}});
}

TEST(JetFixtures, textContentColumnReadsWhole)
{
    REQUIRE_JET(jetFixture("text-content.mdb"));
    auto db = loadJetTable(jetFixture("text-content.mdb").string(), "smra.mdb");
    const Rows topics = {{"1", "父母"}, {"2", "猫"}, {"3", "狗"}, {"4", "水"}, {"5", "UFO"}};
    EXPECT_EQ(select(db, "select 编号, 主题 from Somnara"), topics);
    const Rows water = select(db, "select 内容 from Somnara where 主题='水'");
    ASSERT_EQ(water.size(), 1u);
    const std::string content = water[0][0].value_or("");
    const auto lineBreak = content.find("\r\n");
    ASSERT_NE(lineBreak, std::string::npos) << content;
    EXPECT_EQ(content.find("\r\n", lineBreak + 2), std::string::npos) << content;
    EXPECT_GT(lineBreak, 0u);
    EXPECT_LT(lineBreak + 2, content.size());
    EXPECT_EQ(select(db, "select typeof(内容) from Somnara where 编号=1"), Rows{{"text"}});
}

// ---------------------------------------------------------------------------------------------
// The copy itself: columns, types, order, NULLs, the topic index.

TEST(JetCopy, topicsInTableOrder)
{
    REQUIRE_JET(jetFixture("dreams.mdb"));
    auto db = loadJetTable(jetFixture("dreams.mdb").string(), "smra.mdb");
    const std::vector<Value> topics = {"父母", "猫", "狗", "蛇", "飞", "水", "UFO", "100%把握",
                                       "a_b", "猫'狗", "空白", std::nullopt, "", "猫头鹰"};
    Rows expected;
    for (size_t i = 0; i < topics.size(); ++i)
        expected.push_back({std::to_string(i + 1), topics[i]});
    EXPECT_EQ(select(db, "select 编号, 主题 from Somnara"), expected);
}

TEST(JetCopy, columnsKeepNamesOrderAndTypes)
{
    REQUIRE_JET(jetFixture("dreams.mdb"));
    auto db = loadJetTable(jetFixture("dreams.mdb").string(), "smra.mdb");
    const Rows columns = {{"编号", "INTEGER"}, {"主题", "TEXT"}, {"内容", "TEXT"}};
    EXPECT_EQ(select(db, "select name, type from pragma_table_info('Somnara') order by cid"),
              columns);
    // Both text columns compare ignoring ASCII case (row 7 has capitals in both).
    EXPECT_EQ(select(db, "select count(*) from Somnara where 主题 = lower(主题)"), Rows{{"13"}});
    EXPECT_EQ(select(db, "select count(*) from Somnara where 内容 = lower(内容)"), Rows{{"13"}});
    EXPECT_EQ(select(db, "select name from sqlite_schema where type='table'"), Rows{{"Somnara"}});

    const Rows types = select(db, "select 编号, typeof(编号), typeof(主题), typeof(内容) from Somnara "
                                  "where 编号 in (1, 11, 12, 13)");
    const Rows expected = {{"1", "integer", "text", "text"},
                           {"11", "integer", "text", "null"},
                           {"12", "integer", "null", "text"},
                           {"13", "integer", "text", "text"}};
    EXPECT_EQ(types, expected);
}

TEST(JetCopy, contentsAreWholeAndDistinct)
{
    REQUIRE_JET(jetFixture("dreams.mdb"));
    auto db = loadJetTable(jetFixture("dreams.mdb").string(), "smra.mdb");
    // Rows 1, 6 and 7 keep 内容 on a long-value page, the others in the row: all must read,
    // none empty, and no two alike (a stale buffer would repeat one).
    EXPECT_EQ(select(db, "select count(*) from Somnara where 内容 is not null and length(内容) > 10"),
              Rows{{"13"}});
    EXPECT_EQ(select(db, "select count(distinct 内容) from Somnara"), Rows{{"13"}});
    EXPECT_EQ(select(db, "select count(*) from Somnara where instr(内容, char(65533)) > 0"),
              Rows{{"0"}});
}

TEST(JetCopy, topicIndexServesExactLookups)
{
    REQUIRE_JET(jetFixture("dreams.mdb"));
    auto db = loadJetTable(jetFixture("dreams.mdb").string(), "smra.mdb");
    std::string plan;
    for (const auto &row : select(db, "explain query plan " + lookupStatement(false)))
        plan += row.back().value_or("") + "\n";
    EXPECT_NE(plan.find("USING INDEX"), std::string::npos) << plan;
}

TEST(JetCopy, namesComeBackInUtf8WhateverMdbiconvSays)
{
#ifdef _WIN32
    GTEST_SKIP() << "setenv";
#else
    REQUIRE_JET(jetFixture("dreams.mdb"));
    const char *previous = std::getenv("MDBICONV");
    const std::string saved = previous ? previous : "";
    setenv("MDBICONV", "GB18030", 1);
    Rows columns;
    Rows topic;
    try {
        auto db = loadJetTable(jetFixture("dreams.mdb").string(), "smra.mdb");
        columns = select(db, "select name from pragma_table_info('Somnara') order by cid");
        topic = select(db, "select 主题 from Somnara where 编号=1");
    } catch (...) {
    }
    if (previous)
        setenv("MDBICONV", saved.c_str(), 1);
    else
        unsetenv("MDBICONV");
    EXPECT_EQ(columns, (Rows{{"编号"}, {"主题"}, {"内容"}}));
    EXPECT_EQ(topic, Rows{{"父母"}});
#endif
}

// big.mdb as its README describes it: every row, every topic, every 200-character text.
TEST(JetCopy, bigTableMatchesItsDescription)
{
    REQUIRE_JET(jetFixture("big.mdb"));
    auto db = loadJetTable(jetFixture("big.mdb").string(), "big.mdb");
    const std::map<int, std::string> realTopics = {
        {1253, "猫"},   {3760, "狗"},   {6267, "蛇"},   {8774, "鱼"},   {11281, "马"},
        {13788, "龙"},  {16295, "雪"},  {18802, "雨"},  {21309, "火"},  {23816, "山"},
        {26323, "桥"},  {28830, "门"},  {31337, "牙齿"}, {33844, "考试"}, {36351, "结婚"},
        {38858, "搬家"}, {41365, "钱"},  {43872, "鞋"},  {46379, "月亮"}, {49990, "父母"}};
    sqlite::Statement all(db, "select 编号, 主题, 内容 from Somnara");
    int expectedId = 0;
    int mismatches = 0;
    while (all.step()) {
        ++expectedId;
        const auto id = static_cast<int>(all.integer(0));
        const std::string topic = all.text(1).value_or("<NULL>");
        const std::string content = all.text(2).value_or("<NULL>");
        std::string expectedTopic;
        if (const auto real = realTopics.find(expectedId); real != realTopics.end()) {
            expectedTopic = real->second;
        } else {
            char generated[16];
            std::snprintf(generated, sizeof generated, "%05d", expectedId);
            expectedTopic = std::string("主题") + generated;
        }
        size_t characters = 0;
        for (unsigned char c : content)
            characters += (c & 0xC0) != 0x80;
        const bool real = realTopics.count(expectedId) > 0;
        const bool ok = id == expectedId && topic == expectedTopic && characters == 200
            && (!real || content.rfind("【" + expectedTopic + "】", 0) == 0);
        if (!ok && ++mismatches <= 5)
            ADD_FAILURE() << "row " << expectedId << ": " << id << " " << topic << " " << content;
    }
    EXPECT_EQ(expectedId, 50000);
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(select(db, "select 编号 from Somnara where 主题='考试'"), Rows{{"33844"}});
}

// The copy qualifies for the store's quicker containment lookup, and that lookup still finds
// the first match in the file's order.
TEST(JetCopy, bigTableLookups)
{
    REQUIRE_JET(jetFixture("big.mdb"));
    DreamQuery query;
    query.setConnectionString("provider=Microsoft.Jet.OLEDB.4.0;Data Source="
                              + jetFixture("big.mdb").string() + ";Persist Security Info=False");
    query.setSql(std::string(kStartStatement));
    query.open();
    ASSERT_TRUE(query.hasRow());
    EXPECT_EQ(query.value(query.fieldIndex("编号")), "1");

    struct Case
    {
        std::string keyword;
        bool containment;
        Value id;
    };
    for (const Case &c : {Case{"猫", false, "1253"}, Case{"猫", true, "1253"},
                          Case{"父母", false, "49990"}, Case{"月亮", true, "46379"},
                          Case{"主题0000", true, "1"}, Case{"00002", true, "2"},
                          Case{"主题5000", true, "50000"}, Case{"49990", true, std::nullopt},
                          Case{"主题", false, std::nullopt}}) {
        SCOPED_TRACE(c.keyword + (c.containment ? " (containment)" : " (exact)"));
        lookUp(query, c.keyword, c.containment);
        EXPECT_EQ(query.hasRow() ? query.value(query.fieldIndex("编号")) : std::nullopt, c.id);
    }

    const auto store = DreamStore::open(jetFixture("dreams.mdb").string());
    EXPECT_TRUE(store->topicsIndexed());
}

// mdb-export decodes with libmdb's own code: every value we read must agree with it, except
// that it cannot tell NULL from the empty string.
std::optional<std::string> exportWithMdbTools(const fs::path &file)
{
#ifdef _WIN32
    (void)file;
    return std::nullopt;
#else
    const std::string command = "mdb-export '" + file.string() + "' Somnara 2>/dev/null";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string out;
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, got);
    if (pclose(pipe) != 0 || out.empty())
        return std::nullopt;
    return out;
#endif
}

std::vector<std::vector<std::string>> parseCsv(const std::string &text)
{
    std::vector<std::vector<std::string>> rows(1);
    std::string cell;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().push_back(std::move(cell));
            cell.clear();
        } else if (c == '\n') {
            rows.back().push_back(std::move(cell));
            cell.clear();
            rows.emplace_back();
        } else {
            cell += c;
        }
    }
    if (rows.back().empty())
        rows.pop_back();
    return rows;
}

class JetAgreesWithMdbExport : public ::testing::TestWithParam<const char *>
{
};

TEST_P(JetAgreesWithMdbExport, everyValue)
{
    const fs::path file = jetFixture(GetParam());
    REQUIRE_JET(file);
    const auto exported = exportWithMdbTools(file);
    if (!exported)
        GTEST_SKIP() << "mdb-export is not available";
    const auto expected = parseCsv(*exported);
    auto db = loadJetTable(file.string(), GetParam());
    const Rows rows = select(db, "select * from Somnara");
    ASSERT_EQ(rows.size() + 1, expected.size());
    std::vector<std::string> names;
    for (const auto &row : select(db, "select name from pragma_table_info('Somnara') order by cid"))
        names.push_back(*row[0]);
    EXPECT_EQ(names, expected[0]);
    int mismatches = 0;
    for (size_t r = 0; r < rows.size(); ++r) {
        std::vector<std::string> ours;
        for (const auto &value : rows[r])
            ours.push_back(value.value_or(""));
        if (ours != expected[r + 1] && ++mismatches <= 5)
            ADD_FAILURE() << "row " << r + 1 << " differs";
    }
    EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, JetAgreesWithMdbExport,
                         ::testing::Values("dreams.mdb", "text-content.mdb",
                                           "no-content-column.mdb", "big.mdb"),
                         [](const auto &info) {
                             std::string name = info.param;
                             for (char &c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             }
                             return name;
                         });

// ---------------------------------------------------------------------------------------------
// Damaged, truncated and foreign files, made from dreams.mdb in a temporary folder.

class JetDamageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        REQUIRE_JET(jetFixture("dreams.mdb"));
        original = readBytes(jetFixture("dreams.mdb"));
        auto db = loadJetTable(jetFixture("dreams.mdb").string(), "dreams.mdb");
        intact = select(db, "select * from Somnara");
        ASSERT_EQ(intact.size(), 14u);
    }

    fs::path write(const std::string &bytes) const
    {
        writeBytes(dir / "smra.mdb", bytes);
        return dir / "smra.mdb";
    }

    // The rows of a loaded copy, keyed by 编号.
    std::map<std::string, std::vector<Value>> load(const std::string &bytes) const
    {
        auto db = loadJetTable(write(bytes).string(), "smra.mdb");
        std::map<std::string, std::vector<Value>> rows;
        for (auto &row : select(db, "select * from Somnara"))
            rows[row[0].value_or("")] = row;
        return rows;
    }

    std::vector<Value> intactRow(int id) const { return intact.at(static_cast<size_t>(id - 1)); }

    TempDir dir;
    std::string original;
    Rows intact;
};

TEST_F(JetDamageTest, truncatedCopiesAreRefusedOrWhole)
{
    std::vector<size_t> lengths = {0, 1, 4, 20, 31, 100, 2048};
    for (size_t page = 1; page * JetBytes::kPage < original.size(); ++page) {
        lengths.push_back(page * JetBytes::kPage);
        lengths.push_back(page * JetBytes::kPage + 1 + (page * 997) % 4094);
    }
    lengths.push_back(original.size() - 1);
    for (const size_t length : lengths) {
        SCOPED_TRACE("truncated to " + std::to_string(length) + " bytes");
        const fs::path file = write(original.substr(0, length));
        expectIntactOrRefused(file, intact);
        if (length % JetBytes::kPage != 0) {
            const std::string message = refusal(file);
            EXPECT_NE(message.find("已损坏或不完整"), std::string::npos) << message;
        }
    }
}

TEST_F(JetDamageTest, randomBytesAfterValidPagesAreRefusedOrWhole)
{
    for (const size_t keep : {1, 2, 3, 8, 16, 24, 27}) {
        for (const unsigned seed : {1u, 2u, 3u}) {
            SCOPED_TRACE("pages kept " + std::to_string(keep) + ", seed " + std::to_string(seed));
            std::mt19937 random(seed);
            std::string bytes = original;
            for (size_t i = keep * JetBytes::kPage; i < bytes.size(); ++i)
                bytes[i] = static_cast<char>(random() & 0xFF);
            expectIntactOrRefused(write(bytes), intact);
        }
    }
}

TEST_F(JetDamageTest, everyDamagedPageIsRefusedOrHarmless)
{
    for (size_t page = 1; page * JetBytes::kPage < original.size(); ++page) {
        for (const char fill : {'\0', '\xFF'}) {
            SCOPED_TRACE("page " + std::to_string(page) + " filled with "
                         + std::to_string(static_cast<unsigned char>(fill)));
            std::string bytes = original;
            bytes.replace(page * JetBytes::kPage, JetBytes::kPage, JetBytes::kPage, fill);
            expectIntactOrRefused(write(bytes), intact);
        }
    }
}

struct HeaderCase
{
    const char *name;
    std::function<void(std::string &)> damage;
    const char *message;
};

class JetHeaderCases : public JetDamageTest, public ::testing::WithParamInterface<HeaderCase>
{
};

TEST_P(JetHeaderCases, refusedWithItsReason)
{
    std::string bytes = original;
    GetParam().damage(bytes);
    const std::string message = refusal(write(bytes));
    EXPECT_NE(message.find(GetParam().message), std::string::npos) << message;
    EXPECT_NE(message.find("“smra.mdb”"), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Headers, JetHeaderCases,
    ::testing::Values(
        HeaderCase{"foreignFile", [](std::string &b) { b.replace(4, 15, "Standard XYZ DB"); },
                   "不是 Access 数据库文件"},
        HeaderCase{"access97", [](std::string &b) { b[0x14] = 0; }, "Access 97"},
        HeaderCase{"unknownVersion", [](std::string &b) { b[0x14] = 0x40; }, "已损坏或不完整"},
        HeaderCase{"partialLastPage", [](std::string &b) { b += std::string(100, 'x'); },
                   "已损坏或不完整"},
        HeaderCase{"headerOnly", [](std::string &b) { b.resize(JetBytes::kPage); },
                   "已损坏或不完整"}),
    [](const auto &info) { return std::string(info.param.name); });

// A row deleted in Access keeps its bytes with the deleted flag on its slot; libmdb 1.0 would
// still return it.
TEST_F(JetDamageTest, deletedRowIsSkipped)
{
    JetBytes jet(original);
    const size_t definition = jet.tableDefinition(14, 3);
    ASSERT_NE(definition, 0u);
    const auto row = jet.rowWithId(definition, 3);
    ASSERT_NE(row.page, 0u);
    jet.put16(jet.slotAt(row), jet.get16(jet.slotAt(row)) | 0x8000);
    jet.put32(definition * JetBytes::kPage + 16, 13);

    const auto rows = load(jet.data);
    EXPECT_EQ(rows.size(), 13u);
    EXPECT_EQ(rows.count("3"), 0u);
    EXPECT_EQ(rows.at("4"), intactRow(4));
}

// A row that outgrew its page is moved; its old slot, flagged, says where. libmdb 1.0 drops
// such rows as if deleted.
TEST_F(JetDamageTest, movedRowIsFollowed)
{
    JetBytes jet(original);
    const size_t definition = jet.tableDefinition(14, 3);
    const auto row = jet.rowWithId(definition, 3);
    ASSERT_NE(row.page, 0u);
    const std::string moved = jet.data.substr(row.start, row.end - row.start);
    const size_t page =
        jet.appendPage(JetBytes::le32(static_cast<uint32_t>(definition)), moved, true);
    jet.put16(jet.slotAt(row), jet.get16(jet.slotAt(row)) | 0x4000);
    jet.put32(row.start, static_cast<uint32_t>(page << 8));

    const auto rows = load(jet.data);
    EXPECT_EQ(rows.size(), 14u);
    EXPECT_EQ(rows.at("3"), intactRow(3));
    EXPECT_EQ(rows.at("2"), intactRow(2));
}

TEST_F(JetDamageTest, movedRowPointingNowhereIsRefused)
{
    JetBytes jet(original);
    const auto row = jet.rowWithId(jet.tableDefinition(14, 3), 3);
    ASSERT_NE(row.page, 0u);
    jet.put16(jet.slotAt(row), jet.get16(jet.slotAt(row)) | 0x4000);
    jet.put32(row.start, static_cast<uint32_t>((jet.pages() + 3) << 8));
    EXPECT_NE(refusal(write(jet.data)).find("已损坏或不完整"), std::string::npos);
}

// Fewer rows than the table definition counts: rows were lost, not silently dropped here.
TEST_F(JetDamageTest, lostRowIsRefused)
{
    JetBytes jet(original);
    const auto row = jet.rowWithId(jet.tableDefinition(14, 3), 5);
    ASSERT_NE(row.page, 0u);
    jet.put16(jet.slotAt(row), jet.get16(jet.slotAt(row)) | 0x8000);
    EXPECT_NE(refusal(write(jet.data)).find("已损坏或不完整"), std::string::npos);
}

// The map of the table's pages names a row that is not there: libmdb 1.0 would read through
// a null pointer.
TEST_F(JetDamageTest, missingPageMapIsRefused)
{
    JetBytes jet(original);
    const size_t mapReference = jet.tableDefinition(14, 3) * JetBytes::kPage + 55;
    jet.put32(mapReference, (jet.get32(mapReference) & ~0xFFu) | 0x7F);
    EXPECT_NE(refusal(write(jet.data)).find("已损坏或不完整"), std::string::npos);
}

// --- Value types ----------------------------------------------------------------------------
// dreams.mdb has only numbers and text; other types are made by retyping its columns, whose
// stored bytes are known: 编号 is four bytes holding the row number, 主题 and 内容 UTF-16LE.

struct TypeCase
{
    const char *name;
    size_t column;
    unsigned char type; // libmdb's MDB_* number
    std::string sql;    // run on the copy
    Rows expected;      // empty: the file is refused
};

class JetTypeCases : public JetDamageTest, public ::testing::WithParamInterface<TypeCase>
{
};

TEST_P(JetTypeCases, valueKeepsItsType)
{
    const auto &c = GetParam();
    JetBytes jet(original);
    const size_t definition = jet.tableDefinition(14, 3);
    ASSERT_NE(definition, 0u);
    jet.data[jet.columnType(definition, c.column)] = static_cast<char>(c.type);
    const fs::path file = write(jet.data);
    if (c.expected.empty()) {
        EXPECT_NE(refusal(file).find("已损坏或不完整"), std::string::npos) << refusal(file);
        return;
    }
    auto db = loadJetTable(file.string(), "smra.mdb");
    EXPECT_EQ(select(db, c.sql), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Types, JetTypeCases,
    ::testing::Values(
        TypeCase{"byte", 0, 0x02, "select typeof(编号), 编号 from Somnara where rowid = 3",
                 {{"integer", "3"}}},
        TypeCase{"integer", 0, 0x03, "select typeof(编号), 编号 from Somnara where rowid = 3",
                 {{"integer", "3"}}},
        // A float whose bits are 1: the smallest denormal, 2^-149.
        TypeCase{"single", 0, 0x06,
                 "select typeof(编号), 编号 = 1.401298464324817e-45 from Somnara where rowid = 1",
                 {{"real", "1"}}},
        TypeCase{"yesNoLivesInTheNullMask", 0, 0x01,
                 "select typeof(编号), count(*) from Somnara where 编号 = 1 group by 1",
                 {{"integer", "14"}}},
        TypeCase{"binary", 0, 0x09, "select typeof(编号), hex(编号) from Somnara where rowid = 3",
                 {{"blob", "03000000"}}},
        TypeCase{"textAsBinaryKeepsItsBytes", 1, 0x09,
                 "select typeof(主题), hex(主题) from Somnara where rowid in (2, 7, 12, 13) "
                 "order by rowid",
                 {{"blob", "2B73"}, {"blob", "FFFE55464F"}, {"null", ""}, {"blob", ""}}},
        TypeCase{"memoAsOle", 2, 0x0B,
                 "select typeof(内容) from Somnara where rowid in (1, 2, 11) order by rowid",
                 {{"blob"}, {"blob"}, {"null"}}},
        TypeCase{"doubleNeedsEightBytes", 0, 0x07, "", {}},
        TypeCase{"dateNeedsEightBytes", 0, 0x08, "", {}},
        TypeCase{"currencyNeedsEightBytes", 0, 0x05, "", {}},
        TypeCase{"guidNeedsSixteenBytes", 0, 0x0F, "", {}}),
    [](const auto &info) { return std::string(info.param.name); });

// An OLE object is read like a memo but kept as bytes: in the row (row 2) or on a
// long-value page (row 1).
TEST_F(JetDamageTest, oleObjectsKeepTheirBytes)
{
    JetBytes jet(original);
    const size_t definition = jet.tableDefinition(14, 3);
    jet.data[jet.columnType(definition, 2)] = 0x0B;
    auto db = loadJetTable(write(jet.data).string(), "smra.mdb");
    for (const int id : {1, 2}) {
        SCOPED_TRACE("row " + std::to_string(id));
        sqlite::Statement statement(db, "select 内容 from Somnara where rowid = "
                                            + std::to_string(id));
        ASSERT_TRUE(statement.step());
        EXPECT_EQ(statement.text(0), utf16le(intactRow(id)[2].value_or("")));
    }
}

// --- Memo fields -----------------------------------------------------------------------------

// The 12-byte reference in front of row 2's 内容, which is kept in the row itself.
size_t inlineMemoHeader(const std::string &bytes, const std::string &content)
{
    const std::string prefix = content.substr(0, 4 * 3); // four CJK characters
    const size_t at = bytes.find(utf16le(prefix));
    if (at == std::string::npos || at < 12
        || bytes.find(utf16le(prefix), at + 1) != std::string::npos)
        return 0;
    if ((static_cast<unsigned char>(bytes[at - 9]) & 0x80) == 0)
        return 0;
    return at - 12;
}

struct ChainCase
{
    const char *name;
    // How the chain of long-value pages differs from a correct one.
    enum { Intact, LoopsBack, EndsEarly, LongerThanDeclared, PastTheEnd } fault;
};

class JetLongMemoCases : public JetDamageTest, public ::testing::WithParamInterface<ChainCase>
{
};

// 内容 of row 2 made into a memo of 144,000 bytes spread over a chain of long-value pages:
// longer than 64 KB and than libmdb's bind size, with a pair of UTF-16 surrogates split
// between two pages.
TEST_P(JetLongMemoCases, chainIsReadWholeOrRefused)
{
    const auto fault = GetParam().fault;
    const std::string content2 = intactRow(2)[2].value_or("");
    ASSERT_EQ(content2.rfind("梦见猫", 0), 0u) << content2;

    std::string text;
    for (int i = 0; i < 6000; ++i)
        text += "梦见月亮🌙dream ";
    const std::string payload = utf16le(text);
    ASSERT_EQ(payload.size(), 144000u);
    const size_t chunk = 3994; // 3994 % 24 == 10: the first break falls inside 🌙

    JetBytes jet(original);
    const size_t header = inlineMemoHeader(jet.data, content2);
    ASSERT_NE(header, 0u);
    const size_t first = jet.pages();
    const size_t count = (payload.size() + chunk - 1) / chunk;
    for (size_t i = 0; i < count; ++i) {
        uint32_t next = i + 1 < count ? static_cast<uint32_t>((first + i + 1) << 8) : 0;
        if (fault == ChainCase::LoopsBack && i == 3) {
            // An empty link naming itself: reading on would never end nor grow.
            jet.appendPage("LVAL", JetBytes::le32(static_cast<uint32_t>((first + i) << 8)), false);
            continue;
        }
        if (fault == ChainCase::EndsEarly && i + 2 == count)
            next = 0;
        if (fault == ChainCase::PastTheEnd && i == 3)
            next = static_cast<uint32_t>((first + count + 50) << 8);
        jet.appendPage("LVAL", JetBytes::le32(next) + payload.substr(i * chunk, chunk), false);
    }
    uint32_t declared = static_cast<uint32_t>(payload.size());
    if (fault == ChainCase::LongerThanDeclared)
        declared -= 100;
    jet.put32(header, declared); // no flag: a chain of pages
    jet.put32(header + 4, static_cast<uint32_t>(first << 8));
    jet.put32(header + 8, 0);

    const fs::path file = write(jet.data);
    if (fault != ChainCase::Intact) {
        EXPECT_NE(refusal(file).find("已损坏或不完整"), std::string::npos) << refusal(file);
        return;
    }
    const auto rows = load(jet.data);
    ASSERT_EQ(rows.size(), 14u);
    EXPECT_TRUE(rows.at("2")[2] == text) << "length " << rows.at("2")[2].value_or("").size()
                                         << " of " << text.size();
    EXPECT_EQ(rows.at("3"), intactRow(3));
}

INSTANTIATE_TEST_SUITE_P(Chains, JetLongMemoCases,
                         ::testing::Values(ChainCase{"intact", ChainCase::Intact},
                                           ChainCase{"loopsBack", ChainCase::LoopsBack},
                                           ChainCase{"endsEarly", ChainCase::EndsEarly},
                                           ChainCase{"longerThanDeclared",
                                                     ChainCase::LongerThanDeclared},
                                           ChainCase{"pastTheEnd", ChainCase::PastTheEnd}),
                         [](const auto &info) { return std::string(info.param.name); });

struct MemoCase
{
    const char *name;
    std::function<void(JetBytes &, size_t header)> damage;
};

class JetMemoDamageCases : public JetDamageTest, public ::testing::WithParamInterface<MemoCase>
{
};

TEST_P(JetMemoDamageCases, refused)
{
    JetBytes jet(original);
    const size_t header = inlineMemoHeader(jet.data, intactRow(2)[2].value_or(""));
    ASSERT_NE(header, 0u);
    GetParam().damage(jet, header);
    const std::string message = refusal(write(jet.data));
    EXPECT_NE(message.find("已损坏或不完整"), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Memos, JetMemoDamageCases,
    ::testing::Values(
        MemoCase{"unknownKind",
                 [](JetBytes &jet, size_t header) {
                     // Both "in the row" and "elsewhere".
                     jet.data[header + 3] = static_cast<char>(0xC0);
                 }},
        MemoCase{"pageBeyondTheFile",
                 [](JetBytes &jet, size_t header) {
                     jet.data[header + 3] = 0x40; // one row on another page
                     jet.put32(header + 4, static_cast<uint32_t>((jet.pages() + 7) << 8));
                 }},
        MemoCase{"rowThatIsNoLongValue",
                 [](JetBytes &jet, size_t header) {
                     // A real row, but of the table itself: its bytes are no text.
                     const auto row = jet.rowWithId(jet.tableDefinition(14, 3), 1);
                     jet.put32(header, 0x40000000 | 8); // eight bytes on another page
                     jet.put32(header + 4, static_cast<uint32_t>(row.page << 8 | row.slot));
                 }},
        MemoCase{"longValuePagesWiped",
                 [](JetBytes &jet, size_t) {
                     // Rows 1, 6 and 7 keep 内容 there.
                     for (size_t page = 1; page < jet.pages(); ++page) {
                         if (jet.data.compare(page * JetBytes::kPage + 4, 4, "LVAL") == 0)
                             jet.data.replace(page * JetBytes::kPage, JetBytes::kPage,
                                              JetBytes::kPage, '\0');
                     }
                 }}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Text encoding ---------------------------------------------------------------------------

TEST_F(JetDamageTest, charactersOutsideTheBmpSurvive)
{
    JetBytes jet(original);
    const std::string content2 = intactRow(2)[2].value_or("");
    ASSERT_EQ(content2.rfind("梦见", 0), 0u);
    const size_t header = inlineMemoHeader(jet.data, content2);
    ASSERT_NE(header, 0u);
    const size_t text = header + 12;
    ASSERT_EQ(jet.data.substr(text, 4), utf16le("梦见"));

    jet.data.replace(text, 4, utf16le("🌙"));
    EXPECT_EQ(load(jet.data).at("2")[2], "🌙" + content2.substr(6));

    jet.data.replace(text, 4, utf16le("梦见"));
    jet.put16(text, 0xD83C); // a high surrogate with no low one after it
    EXPECT_EQ(load(jet.data).at("2")[2], "\xEF\xBF\xBD" + content2.substr(3));

    jet.put16(text, 0xDF19); // a low surrogate alone
    EXPECT_EQ(load(jet.data).at("2")[2], "\xEF\xBF\xBD" + content2.substr(3));
}

// "UFO" is kept compressed, one byte a letter after an FF FE mark. Broken so that it ends in
// half a character, it reads as far as it goes, the broken end marked, and the load goes on.
TEST_F(JetDamageTest, compressedTextEndingInHalfACharacter)
{
    const std::string compressed("\xFF\xFE" "UFO", 5);
    const size_t at = original.find(compressed);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(original.find(compressed, at + 1), std::string::npos);
    std::string bytes = original;
    bytes.replace(at, 5, std::string("\xFF\xFE" "U\0F", 5));
    const auto rows = load(bytes);
    EXPECT_EQ(rows.at("7")[1], "U\xEF\xBF\xBD");
    EXPECT_EQ(rows.at("7")[2], intactRow(7)[2]);
}

TEST_F(JetDamageTest, compressedTextSwitchingToPairs)
{
    const std::string compressed("\xFF\xFE" "UFO", 5);
    const size_t at = original.find(compressed);
    ASSERT_NE(at, std::string::npos);
    std::string bytes = original;
    // The mark, a zero switching to pairs, then U+4E2D: still five bytes.
    bytes.replace(at, 5, std::string("\xFF\xFE\0\x2D\x4E", 5));
    EXPECT_EQ(load(bytes).at("7")[1], "中");
}

// ---------------------------------------------------------------------------------------------

TEST(JetWithoutLibmdb, refusesWithAClearMessage)
{
    if (jetSupported())
        GTEST_SKIP() << "this build reads Access files";
    try {
        loadJetTable("smra.mdb", "smra.mdb");
        FAIL() << "loaded";
    } catch (const StoreError &error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("“smra.mdb”"), std::string::npos) << message;
        EXPECT_NE(message.find("Access"), std::string::npos) << message;
    }
}

} // namespace
