#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace somnara {

class DreamStore;

// The program's one window onto the dream database: a statement that, when opened, yields
// the first row of its result. Only that row is ever shown, so only that row is read.
class DreamQuery
{
public:
    DreamQuery();
    ~DreamQuery();

    void setConnectionString(std::string connectionString);
    const std::string &connectionString() const { return m_connectionString; }

    // The statement text; a keyword reaches it only as a bound parameter (":name").
    // `indexedSql`, when given, yields the same rows as `sql` and runs instead of it on a store
    // whose topics are indexed (DreamStore::topicsIndexed), which is known only once connected.
    void setSql(std::string sql, std::string indexedSql = {});
    const std::string &sql() const { return m_sql; }
    void setParameter(std::string name, std::string value);
    void clearParameters();

    // Connects on first use and keeps the connection; while none could be made, every open
    // tries again. Throws StoreError and stays closed when the statement cannot run.
    void open();
    // Just the connecting part of open(); throws as open() does when no connection can be made.
    void connect();
    void close();

    bool active() const { return m_active; }
    bool hasRow() const { return m_row.has_value(); }
    bool connected() const { return m_store != nullptr; }
    const DreamStore *store() const { return m_store.get(); }

    const std::vector<std::string> &fieldNames() const { return m_fieldNames; }
    // Field names compare ignoring ASCII case, as the database does; -1 when absent.
    int fieldIndex(std::string_view name) const;
    // The current row's value (nullopt for NULL or when there is no row).
    std::optional<std::string> value(int field) const;

    // Told whenever the query opens or closes: the data source.
    void setStateListener(std::function<void()> listener) { m_listener = std::move(listener); }

private:
    void notify();

    std::string m_connectionString;
    std::string m_sql;
    std::string m_indexedSql;
    std::vector<std::pair<std::string, std::string>> m_parameters;
    std::unique_ptr<DreamStore> m_store;
    bool m_active = false;
    std::vector<std::string> m_fieldNames;
    std::optional<std::vector<std::optional<std::string>>> m_row;
    std::function<void()> m_listener;
};

} // namespace somnara
