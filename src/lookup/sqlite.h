#pragma once

#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace somnara::sqlite {

// Owns one SQLite connection.
class Database
{
public:
    Database() = default;
    explicit Database(sqlite3 *handle) : m_handle(handle) {}
    ~Database();
    Database(Database &&other) noexcept;
    Database &operator=(Database &&other) noexcept;
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Read-only and never creating anything: the file is data we must not touch.
    static Database openReadOnly(const std::string &path);
    // Read-only, taking the file as it stands: no locks, no journal or log read beside it, and
    // no notice of changes, which the caller must watch for itself.
    static Database openImmutable(const std::string &path);
    static Database openMemory();

    sqlite3 *handle() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

    void execute(std::string_view sql);
    std::string lastError() const;
    // The last call failed because another connection holds a lock on the file.
    bool busy() const;
    // The last call met a write that another connection began and never finished (it left a
    // hot journal), which a read-only connection may not roll back.
    bool interruptedWrite() const;

private:
    static Database open(const std::string &name, int flags);

    sqlite3 *m_handle = nullptr;
};

// Owns one prepared statement.
class Statement
{
public:
    Statement(const Database &db, std::string_view sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    void bind(int index, std::string_view text);
    void bindNull(int index);
    void bindInt(int index, long long value);
    void bindDouble(int index, double value);
    void bindBlob(int index, const void *data, int size);
    // 0 when the statement has no parameter of that name.
    int parameterIndex(const char *name) const;

    // True while a row is available.
    bool step();
    void reset();

    int columnCount() const;
    std::string columnName(int column) const;
    // nullopt for NULL; other types read as their text.
    std::optional<std::string> text(int column) const;
    long long integer(int column) const;

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
};

} // namespace somnara::sqlite
