#include "dream_lookup.h"

#include "dream_query.h"
#include "store_error.h"

namespace somnara {

std::string lookupStatement(bool containment)
{
    return containment ? "Select * from Somnara where 主题 like '%' || :keyword || '%'"
                       : "Select * from Somnara where 主题=:keyword";
}

void lookUp(DreamQuery &query, std::string_view keyword, bool containment)
{
    query.close();
    // SQLite refuses longer LIKE patterns with a message no user would understand.
    if (containment && keyword.size() + 2 > kLikePatternLimit)
        throw StoreError("关键词太长，无法进行模糊查询：请缩短关键词，或取消“模糊查询”");
    query.setSql(lookupStatement(containment));
    query.setParameter(std::string(kKeywordParameter), std::string(keyword));
    query.open();
}

} // namespace somnara
