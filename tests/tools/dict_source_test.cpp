#include "dict_source.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

using namespace somnara::dict;

namespace {

const std::string kBody = std::string("梦见此物，多主吉祥顺遂，预示近来心境安定，诸事渐入佳境。")
                          + "若梦中情景明亮清楚，所求之事多能如愿；若情景昏暗模糊，则宜放慢脚步，"
                          + "多听取身边人的意见，凡事不可操之过急。";

class SourceTest : public ::testing::Test
{
protected:
    SourceTest()
    {
        std::random_device random;
        dir = std::filesystem::temp_directory_path() / ("somnara-dict-" + std::to_string(random()));
        std::filesystem::create_directories(dir);
    }
    ~SourceTest() override { std::filesystem::remove_all(dir); }

    std::string write(const std::string &name, const std::string &text)
    {
        const auto file = dir / name;
        std::ofstream(file, std::ios::binary) << text;
        return file.string();
    }

    static const Charset &charset()
    {
        static const Charset instance = Charset::load(SOMNARA_SOURCE_DIR "/tools/gb2312-hanzi.txt");
        return instance;
    }

    std::filesystem::path dir;
};

TEST_F(SourceTest, readsEntriesAliasesAndParagraphsInOrder)
{
    const auto a = write("01.txt", "# comment\n分类：人物\n\n【父母】爸妈、父亲母亲\n" + kBody + "\n第二段" + kBody
                                       + "\n\n【UFO】\n" + kBody + "\n");
    const auto b = write("02.txt", "分类：动物\n【猫】猫咪\n" + kBody + "\n");
    const auto result = parse({a, b}, charset());
    ASSERT_TRUE(result.problems.empty()) << result.problems.front().message;
    ASSERT_EQ(result.entries.size(), 3u);
    EXPECT_EQ(result.entries[0].topic, "父母");
    EXPECT_EQ(result.entries[0].category, "人物");
    EXPECT_EQ(result.entries[0].aliases, (std::vector<std::string>{"爸妈", "父亲母亲"}));
    EXPECT_EQ(content(result.entries[0]), kBody + "\r\n第二段" + kBody);
    EXPECT_EQ(result.entries[1].topic, "UFO");
    EXPECT_TRUE(result.entries[1].aliases.empty());
    EXPECT_EQ(result.entries[2].category, "动物");
}

struct BadSource
{
    const char *name;
    std::string text;
    int line;
    const char *messagePart;
};

class BadSources : public SourceTest, public ::testing::WithParamInterface<BadSource>
{
};

TEST_P(BadSources, failWithFileAndLine)
{
    const auto &c = GetParam();
    const auto file = write("bad.txt", c.text);
    const auto result = parse({file}, charset());
    ASSERT_FALSE(result.problems.empty()) << "accepted a bad source";
    const auto &problem = result.problems.front();
    EXPECT_EQ(problem.file, file);
    EXPECT_EQ(problem.line, c.line);
    EXPECT_NE(problem.message.find(c.messagePart), std::string::npos) << problem.message;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, BadSources,
    ::testing::Values(
        BadSource{"noCategory", "【猫】\n" + kBody + "\n", 1, "分类"},
        BadSource{"duplicateTopic", "分类：动物\n【猫】\n" + kBody + "\n【猫】\n" + kBody + "\n", 4, "duplicate"},
        BadSource{"aliasRepeatsATopic", "分类：动物\n【猫】\n" + kBody + "\n【狸猫】猫\n" + kBody + "\n", 4, "duplicate"},
        BadSource{"emptyTopic", "分类：动物\n【】\n" + kBody + "\n", 2, "empty"},
        BadSource{"emptyInterpretation", "分类：动物\n【猫】\n【狗】\n" + kBody + "\n", 2, "empty"},
        BadSource{"tooShort", "分类：动物\n【猫】\n梦见猫，主吉。\n", 2, "characters"},
        BadSource{"tooLong", "分类：动物\n【猫】\n" + kBody + kBody + kBody + kBody + kBody + kBody + kBody + kBody + "\n", 2, "characters"},
        BadSource{"blankAroundTopic", "分类：动物\n【 猫】\n" + kBody + "\n", 2, "blanks"},
        BadSource{"halfWidthComma", "分类：动物\n【猫】\n" + kBody + "\n梦见猫,主吉。\n", 4, "half-width"},
        BadSource{"halfWidthParenthesis", "分类：动物\n【猫】\n" + kBody + "(注)\n", 3, "half-width"},
        BadSource{"blankInText", "分类：动物\n【猫】\n" + kBody + " 又见\n", 3, "blank"},
        BadSource{"traditionalCharacter", "分类：动物\n【貓】\n" + kBody + "\n", 2, "not allowed"},
        BadSource{"traditionalInText", "分类：动物\n【猫】\n" + kBody + "夢\n", 3, "not allowed"},
        BadSource{"textOutsideEntry", "分类：动物\n" + kBody + "\n", 2, "outside"},
        BadSource{"noClosingBracket", "分类：动物\n【猫\n" + kBody + "\n", 2, "】"},
        BadSource{"invalidUtf8", "分类：动物\n【猫】\n" + kBody + "\xff\n", 3, "UTF-8"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SourceTest, duplicatesAcrossFilesNameTheFirstPlace)
{
    const auto a = write("a.txt", "分类：动物\n【猫】\n" + kBody + "\n");
    const auto b = write("b.txt", "分类：动物\n\n【猫】\n" + kBody + "\n");
    const auto result = parse({a, b}, charset());
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0].file, b);
    EXPECT_EQ(result.problems[0].line, 3);
    EXPECT_NE(result.problems[0].message.find(a + ":2"), std::string::npos);
}

TEST_F(SourceTest, reportsEveryFaultNotJustTheFirst)
{
    const auto file = write("bad.txt", "分类：动物\n【猫】\n短\n【 狗】\n" + kBody + "\n【猫】\n" + kBody + "\n");
    const auto result = parse({file}, charset());
    EXPECT_EQ(result.problems.size(), 3u);
}

} // namespace
