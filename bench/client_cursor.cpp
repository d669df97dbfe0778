#include "client_cursor.h"

namespace somnara::bench {

std::optional<std::string> ClientCursor::open(const std::string &sql,
                                              const std::optional<std::string> &keyword)
{
    if (!m_store)
        m_store = DreamStore::open(m_file);
    m_rows.clear();
    sqlite::Statement statement(m_store->database(), sql);
    if (keyword) {
        if (const int index = statement.parameterIndex(":keyword"))
            statement.bind(index, *keyword);
    }
    const int columns = statement.columnCount();
    int content = -1;
    for (int i = 0; i < columns; ++i) {
        if (statement.columnName(i) == "内容")
            content = i;
    }
    while (statement.step()) {
        Row row;
        row.reserve(static_cast<size_t>(columns));
        for (int i = 0; i < columns; ++i)
            row.push_back(statement.text(i));
        m_rows.push_back(std::move(row));
    }
    if (m_rows.empty() || content < 0)
        return std::nullopt;
    return m_rows.front()[static_cast<size_t>(content)];
}

} // namespace somnara::bench
