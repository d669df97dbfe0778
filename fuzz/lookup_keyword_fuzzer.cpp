// Arbitrary bytes as the keyword, in both modes, against a small database of decoy rows.
// Besides "no crash", every answer is checked against the rows themselves where the answer is
// certain: an exact lookup finds the first topic equal to the keyword (ASCII case ignored), a
// containment lookup with a plain keyword the first topic containing it.
#include "dream_lookup.h"
#include "dream_query.h"
#include "store_error.h"
#include "test_database.h"

#include <sanitizer/common_interface_defs.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace somnara;

namespace {

struct Fixture
{
    test::TempDir dir;
    std::unique_ptr<test::CurrentDir> cwd;
    std::vector<test::Row> rows;
    DreamQuery query;
};

Fixture *fixture = nullptr;

// Said through the sanitizer's report channel, which stays open when the run closes stderr.
[[noreturn]] void violated(const char *what, std::string_view keyword, bool containment)
{
    char text[512];
    std::snprintf(text, sizeof text, "invariant broken: %s (%s, keyword of %zu bytes)", what,
                  containment ? "containment" : "exact", keyword.size());
    __sanitizer_report_error_summary(text);
    std::abort();
}

char foldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string folded(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), foldAscii);
    return out;
}

bool validUtf8(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size())
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (next & 0x3F);
        }
        static constexpr uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
        if (cp < smallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)
            || (cp & 0xFFFE) == 0xFFFE)
            return false;
        i += extra + 1;
    }
    return true;
}

// The index in `rows` of the row the lookup must show; nullopt when no row may match, and
// -1 when the answer depends on LIKE's pattern rules and only its shape is checked.
std::optional<int> expectedRow(const std::vector<test::Row> &rows, std::string_view keyword,
                               bool containment)
{
    // Long keywords only test the pattern limit; their answers are left to the short ones.
    if (keyword.size() > 4096)
        return -1;
    const std::string key = folded(keyword);
    const bool hasNul = keyword.find('\0') != std::string_view::npos;
    if (containment && !hasNul
        && (keyword.find_first_of("%_") != std::string_view::npos || !validUtf8(keyword)))
        return -1;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (!rows[i].topic)
            continue;
        const std::string topic = folded(*rows[i].topic);
        if (containment ? topic.find(key) != std::string::npos : topic == key)
            return static_cast<int>(i);
    }
    return std::nullopt;
}

void checkLookup(std::string_view keyword, bool containment)
{
    DreamQuery &query = fixture->query;
    try {
        lookUp(query, keyword, containment);
    } catch (const StoreError &error) {
        // The one refusal a keyword may meet: too long for a pattern, said in words.
        if (!containment || keyword.size() + 2 <= kLikePatternLimit)
            violated(error.what(), keyword, containment);
        if (query.active() || std::string_view(error.what()).empty())
            violated("a refused lookup left the query open or said nothing", keyword, containment);
        return;
    }
    if (containment && keyword.size() + 2 > kLikePatternLimit)
        violated("a pattern beyond the limit was run", keyword, containment);
    if (!query.active())
        violated("a lookup that ran left the query closed", keyword, containment);

    const int topicField = query.fieldIndex("主题");
    const int contentField = query.fieldIndex("内容");
    if (topicField < 0 || contentField < 0)
        violated("the result lacks the table's columns", keyword, containment);

    const auto &rows = fixture->rows;
    const auto expected = expectedRow(rows, keyword, containment);
    if (!query.hasRow()) {
        if (expected && *expected >= 0)
            violated("nothing found where a topic matches", keyword, containment);
        if (query.value(contentField))
            violated("a value without a row", keyword, containment);
        return;
    }
    if (!expected)
        violated("a row found where no topic matches", keyword, containment);
    const auto topic = query.value(topicField);
    const auto content = query.value(contentField);
    if (*expected >= 0) {
        const auto &row = rows[static_cast<size_t>(*expected)];
        if (topic != row.topic || content != row.content)
            violated("not the first matching row", keyword, containment);
        return;
    }
    const auto shown = std::find_if(rows.begin(), rows.end(), [&](const test::Row &row) {
        return row.topic == topic && row.content == content;
    });
    if (!topic || shown == rows.end())
        violated("a row that is not in the table", keyword, containment);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fixture = new Fixture;
    fixture->rows = test::decoyRows();
    // Equal topics under different case: the first one must win.
    fixture->rows.push_back({"ufo", "小写ufo的解释"});
    fixture->rows.push_back({"猫", "第二个猫"});
    test::writeDreamDatabase(fixture->dir / "smra.mdb", fixture->rows);
    fixture->cwd = std::make_unique<test::CurrentDir>(fixture->dir.path());
    fixture->query.setConnectionString(std::string(kConnectionString));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view keyword(reinterpret_cast<const char *>(data), size);
    for (const bool containment : {false, true})
        checkLookup(keyword, containment);

    // The keyword grown to just below, at and just above the longest pattern SQLite takes.
    if (size > 0) {
        const size_t target = kLikePatternLimit - 3 + size % 3;
        std::string grown(keyword);
        while (grown.size() < target)
            grown += grown;
        grown.resize(target);
        checkLookup(grown, true);
    }
    return 0;
}
