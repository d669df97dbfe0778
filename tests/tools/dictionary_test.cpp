// Checks the dictionary the build made: build/smra.mdb from data/dict.
#include "dream_lookup.h"
#include "dream_query.h"
#include "sqlite.h"

#include <gtest/gtest.h>

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
    const auto db = sqlite::Database::openReadOnly(kDatabase);
    sqlite::Statement first(db, "select 主题 from Somnara");
    ASSERT_TRUE(first.step());
    EXPECT_EQ(first.text(0), "父母");
}

TEST(Dictionary, everyRowHasAnInterpretation)
{
    const auto db = sqlite::Database::openReadOnly(kDatabase);
    sqlite::Statement empty(db, "select count(*) from Somnara where 内容 is null or 内容 = '' "
                                "or 主题 is null or 主题 = ''");
    ASSERT_TRUE(empty.step());
    EXPECT_EQ(empty.integer(0), 0);
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
