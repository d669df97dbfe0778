#pragma once

#include <string>
#include <string_view>

namespace somnara {

class DreamQuery;

// How the query finds its file: the name alone, resolved against the current directory.
inline constexpr std::string_view kConnectionString =
    "provider=Microsoft.Jet.OLEDB.4.0;Data Source=smra.mdb;Persist Security Info=False";

// What the query shows at start: the first row of the whole table.
inline constexpr std::string_view kStartStatement = "select * from Somnara";

// The name under which the keyword is bound.
inline constexpr std::string_view kKeywordParameter = "keyword";

// The longest LIKE pattern SQLite takes, in bytes (its default limit).
inline constexpr size_t kLikePatternLimit = 50000;

// The lookup statement: in exact mode the topic equals the keyword, in containment mode it
// contains it. The keyword itself never becomes SQL text, so an apostrophe in it is just a
// character; % and _ keep their LIKE meaning in containment mode.
// With `topicsIndexed` (see DreamStore) a containment lookup yields the same first row without
// reading every whole row of the table.
std::string lookupStatement(bool containment, bool topicsIndexed = false);

// Re-queries for `keyword`: close, new statement, open. Throws StoreError when it cannot run;
// the query is then left closed.
void lookUp(DreamQuery &query, std::string_view keyword, bool containment);

} // namespace somnara
