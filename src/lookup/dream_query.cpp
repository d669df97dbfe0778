#include "dream_query.h"

#include "dream_store.h"
#include "sqlite.h"
#include "store_error.h"

#include <algorithm>
#include <cctype>

namespace somnara {

DreamQuery::DreamQuery() = default;
DreamQuery::~DreamQuery() = default;

void DreamQuery::setConnectionString(std::string connectionString)
{
    m_connectionString = std::move(connectionString);
}

void DreamQuery::setSql(std::string sql, std::string indexedSql)
{
    m_sql = std::move(sql);
    m_indexedSql = std::move(indexedSql);
}

void DreamQuery::setParameter(std::string name, std::string value)
{
    for (auto &parameter : m_parameters) {
        if (parameter.first == name) {
            parameter.second = std::move(value);
            return;
        }
    }
    m_parameters.emplace_back(std::move(name), std::move(value));
}

void DreamQuery::clearParameters()
{
    m_parameters.clear();
}

void DreamQuery::connect()
{
    try {
        // SQLite caches the file's structure, which a file rewritten in place need not share.
        if (m_store && m_store->changedSinceOpened())
            m_store.reset();
        if (m_store)
            return;
        m_store = DreamStore::open(dataSourceOf(m_connectionString));
    } catch (const StoreError &error) {
        throw StoreError(trimProviderMessage(error.what()));
    }
}

void DreamQuery::open()
{
    if (m_active)
        return;
    connect();
    try {
        const bool indexed = !m_indexedSql.empty() && m_store->topicsIndexed();
        sqlite::Statement statement(m_store->database(), indexed ? m_indexedSql : m_sql);
        for (const auto &[name, value] : m_parameters) {
            const std::string placeholder = ":" + name;
            if (const int index = statement.parameterIndex(placeholder.c_str()))
                statement.bind(index, value);
        }
        const bool hasRow = statement.step();

        std::vector<std::string> names;
        const int columns = statement.columnCount();
        names.reserve(static_cast<size_t>(columns));
        for (int i = 0; i < columns; ++i)
            names.push_back(statement.columnName(i));

        std::optional<std::vector<std::optional<std::string>>> row;
        if (hasRow) {
            row.emplace();
            row->reserve(static_cast<size_t>(columns));
            for (int i = 0; i < columns; ++i)
                row->push_back(statement.text(i));
        }
        m_fieldNames = std::move(names);
        m_row = std::move(row);
    } catch (const StoreError &error) {
        throw StoreError(trimProviderMessage(error.what()));
    }
    m_active = true;
    notify();
}

void DreamQuery::close()
{
    if (!m_active)
        return;
    m_active = false;
    m_fieldNames.clear();
    m_row.reset();
    notify();
}

int DreamQuery::fieldIndex(std::string_view name) const
{
    const auto equal = [name](const std::string &field) {
        return std::equal(field.begin(), field.end(), name.begin(), name.end(),
                          [](unsigned char a, unsigned char b) {
                              return std::tolower(a) == std::tolower(b);
                          });
    };
    const auto it = std::find_if(m_fieldNames.begin(), m_fieldNames.end(), equal);
    return it == m_fieldNames.end() ? -1 : static_cast<int>(it - m_fieldNames.begin());
}

std::optional<std::string> DreamQuery::value(int field) const
{
    if (!m_row || field < 0 || field >= static_cast<int>(m_row->size()))
        return std::nullopt;
    return (*m_row)[static_cast<size_t>(field)];
}

void DreamQuery::notify()
{
    if (m_listener)
        m_listener();
}

} // namespace somnara
