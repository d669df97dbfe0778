// Checks the dictionary the build made: build/smra.mdb from data/dict.
#include "dict_source.h"
#include "dream_lookup.h"
#include "dream_query.h"
#include "sqlite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

using namespace somnara;

namespace {

const std::string kDatabase = SOMNARA_BINARY_DIR "/smra.mdb";

std::vector<std::string> everydayKeywords()
{
    std::ifstream in(SOMNARA_SOURCE_DIR "/tests/data/everyday-keywords.txt");
    std::vector<std::string> words;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && !line.starts_with('#'))
            words.push_back(line);
    return words;
}

TEST(Dictionary, firstRowIsTheKeywordShownAtStart)
{
    // The very statement the window opens with.
    const auto db = sqlite::Database::openReadOnly(kDatabase);
    sqlite::Statement first(db, "select * from Somnara");
    ASSERT_TRUE(first.step());
    ASSERT_EQ(first.columnName(1), "主题");
    EXPECT_EQ(first.text(1), "父母");
}

TEST(Dictionary, holdsARowForEveryTopicAndAliasOfTheSource)
{
    std::vector<std::string> files;
    for (const auto &entry : std::filesystem::directory_iterator(SOMNARA_SOURCE_DIR "/data/dict"))
        if (entry.path().extension() == ".txt")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    const auto source = dict::parse(files, dict::Charset::load(SOMNARA_SOURCE_DIR "/tools/gb2312-hanzi.txt"));
    ASSERT_TRUE(source.problems.empty());
    size_t names = 0;
    for (const auto &entry : source.entries)
        names += 1 + entry.aliases.size();

    const auto db = sqlite::Database::openReadOnly(kDatabase);
    sqlite::Statement rows(db, "select count(*), count(distinct 内容) from Somnara");
    ASSERT_TRUE(rows.step());
    EXPECT_EQ(rows.integer(0), static_cast<long long>(names));
    EXPECT_EQ(rows.integer(1), static_cast<long long>(source.entries.size()));
}

TEST(Dictionary, everyRowHasAnInterpretation)
{
    const auto db = sqlite::Database::openReadOnly(kDatabase);
    sqlite::Statement empty(db, "select count(*) from Somnara where 内容 is null or 内容 = '' "
                                "or 主题 is null or 主题 = ''");
    ASSERT_TRUE(empty.step());
    EXPECT_EQ(empty.integer(0), 0);
}

TEST(Dictionary, holdsAThousandTopicsInEveryCategory)
{
    const auto db = sqlite::Database::openReadOnly(kDatabase);
    // An alias row repeats the interpretation of the topic row just before it.
    sqlite::Statement counts(db, "select 分类, count(*) from Somnara a where not exists "
                                 "(select 1 from Somnara b where b.编号 = a.编号 - 1 and b.内容 = a.内容) "
                                 "group by 分类");
    long long topics = 0;
    int categories = 0;
    while (counts.step()) {
        ++categories;
        topics += counts.integer(1);
        EXPECT_GE(counts.integer(1), 40) << *counts.text(0);
        std::printf("%s: %lld topics\n", counts.text(0)->c_str(), counts.integer(1));
    }
    EXPECT_EQ(categories, 14);
    EXPECT_GE(topics, 1000);
}

TEST(Dictionary, everydayKeywordsAreFound)
{
    const auto words = everydayKeywords();
    ASSERT_GE(words.size(), 100u);
    std::filesystem::current_path(SOMNARA_BINARY_DIR);
    DreamQuery query;
    query.setConnectionString(std::string(kConnectionString));
    size_t exact = 0;
    size_t contained = 0;
    std::string missing;
    for (const auto &word : words) {
        lookUp(query, word, false);
        exact += query.hasRow();
        if (!query.hasRow())
            missing += word + " ";
        lookUp(query, word, true);
        contained += query.hasRow();
    }
    RecordProperty("exact", static_cast<int>(exact));
    RecordProperty("contained", static_cast<int>(contained));
    std::printf("everyday keywords: %zu of %zu found exactly, %zu by containment; not exact: %s\n",
                exact, words.size(), contained, missing.c_str());
    EXPECT_GE(exact * 100, words.size() * 80);
    EXPECT_GE(contained * 100, words.size() * 95);
}

} // namespace
