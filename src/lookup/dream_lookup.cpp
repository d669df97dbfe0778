#include "dream_lookup.h"

#include "dream_query.h"
#include "store_error.h"

namespace somnara {

std::string lookupStatement(bool containment, bool topicsIndexed)
{
    if (!containment)
        return "Select * from Somnara where 主题=:keyword";
    if (!topicsIndexed)
        return "Select * from Somnara where 主题 like '%' || :keyword || '%'";
    // The first match in table order is the one with the lowest rowid. The rows hold long texts,
    // so the table's first rows are tried in order first, where common keywords end early; only
    // then is the whole topic index scanned, some twenty times less to read than the table.
    return "Select * from Somnara where rowid = coalesce("
           "(select rowid from Somnara where rowid < (select min(rowid) from Somnara) + 2048"
           " and 主题 like '%' || :keyword || '%' order by rowid limit 1),"
           " (select min(+rowid) from Somnara where 主题 like '%' || :keyword || '%'))";
}

void lookUp(DreamQuery &query, std::string_view keyword, bool containment)
{
    query.close();
    // SQLite refuses longer LIKE patterns with a message no user would understand.
    if (containment && keyword.size() + 2 > kLikePatternLimit)
        throw StoreError("关键词太长，无法进行模糊查询：请缩短关键词，或取消“模糊查询”");
    if (containment && keyword.find('\0') != std::string_view::npos) {
        // LIKE reads its pattern only up to a NUL, so "猫\0狗" would find the topics ending in
        // 猫. No topic that LIKE reads whole holds a NUL: no topic contains such a keyword.
        query.setSql("Select * from Somnara where 0");
        query.clearParameters();
        query.open();
        return;
    }
    query.setSql(lookupStatement(containment),
                 containment ? lookupStatement(true, true) : std::string());
    query.setParameter(std::string(kKeywordParameter), std::string(keyword));
    query.open();
}

} // namespace somnara
