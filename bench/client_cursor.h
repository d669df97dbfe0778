#pragma once

#include "dream_store.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace somnara::bench {

// The way a client-side cursor answers a query: it fetches the whole result into memory and
// only then positions on the first row. Our lookups are measured against it; it connects
// through the same store, so only the reading differs.
class ClientCursor
{
public:
    explicit ClientCursor(std::string file) : m_file(std::move(file)) {}

    // Connects on first use, runs `sql` (with :keyword bound when given), fetches every row and
    // returns 内容 of the first one.
    std::optional<std::string> open(const std::string &sql,
                                    const std::optional<std::string> &keyword = std::nullopt);

    size_t rowCount() const { return m_rows.size(); }

private:
    using Row = std::vector<std::optional<std::string>>;

    std::string m_file;
    std::unique_ptr<DreamStore> m_store;
    std::vector<Row> m_rows;
};

} // namespace somnara::bench
