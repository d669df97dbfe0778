#include "sqlite.h"

#include "store_error.h"

#include <sqlite3.h>

#include <utility>

namespace somnara::sqlite {

namespace {

[[noreturn]] void fail(sqlite3 *db, std::string_view what)
{
    std::string message(what);
    if (db) {
        message += "：";
        message += sqlite3_errmsg(db);
    }
    throw StoreError(message);
}

} // namespace

Database::~Database()
{
    sqlite3_close_v2(m_handle);
}

Database::Database(Database &&other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}

Database &Database::operator=(Database &&other) noexcept
{
    if (this != &other) {
        sqlite3_close_v2(m_handle);
        m_handle = std::exchange(other.m_handle, nullptr);
    }
    return *this;
}

Database Database::openReadOnly(const std::string &path)
{
    sqlite3 *handle = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
    Database db(handle);
    if (rc != SQLITE_OK)
        fail(handle, "无法打开数据库文件");
    // Another program may be writing the file: wait a little for its lock, then give up.
    sqlite3_busy_timeout(handle, 3000);
    return db;
}

Database Database::openMemory()
{
    sqlite3 *handle = nullptr;
    const int rc = sqlite3_open_v2(":memory:", &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                   nullptr);
    Database db(handle);
    if (rc != SQLITE_OK)
        fail(handle, "无法建立内存数据库");
    return db;
}

void Database::execute(std::string_view sql)
{
    Statement statement(*this, sql);
    while (statement.step()) {
    }
}

bool Database::busy() const
{
    const int code = m_handle ? sqlite3_errcode(m_handle) : SQLITE_OK;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

bool Database::interruptedWrite() const
{
    return m_handle && sqlite3_extended_errcode(m_handle) == SQLITE_READONLY_ROLLBACK;
}

std::string Database::lastError() const
{
    return m_handle ? sqlite3_errmsg(m_handle) : "";
}

Statement::Statement(const Database &db, std::string_view sql) : m_db(db.handle())
{
    if (sqlite3_prepare_v2(m_db, sql.data(), static_cast<int>(sql.size()), &m_stmt, nullptr)
        != SQLITE_OK)
        fail(m_db, "查询语句有误");
    if (!m_stmt)
        throw StoreError("查询语句为空");
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

void Statement::bind(int index, std::string_view text)
{
    if (sqlite3_bind_text64(m_stmt, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8)
        != SQLITE_OK)
        fail(m_db, "无法绑定查询参数");
}

void Statement::bindNull(int index)
{
    if (sqlite3_bind_null(m_stmt, index) != SQLITE_OK)
        fail(m_db, "无法绑定查询参数");
}

void Statement::bindInt(int index, long long value)
{
    if (sqlite3_bind_int64(m_stmt, index, value) != SQLITE_OK)
        fail(m_db, "无法绑定查询参数");
}

void Statement::bindDouble(int index, double value)
{
    if (sqlite3_bind_double(m_stmt, index, value) != SQLITE_OK)
        fail(m_db, "无法绑定查询参数");
}

void Statement::bindBlob(int index, const void *data, int size)
{
    if (sqlite3_bind_blob(m_stmt, index, data, size, SQLITE_TRANSIENT) != SQLITE_OK)
        fail(m_db, "无法绑定查询参数");
}

int Statement::parameterIndex(const char *name) const
{
    return sqlite3_bind_parameter_index(m_stmt, name);
}

bool Statement::step()
{
    switch (sqlite3_step(m_stmt)) {
    case SQLITE_ROW:
        return true;
    case SQLITE_DONE:
        return false;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        fail(m_db, "数据库正被其他程序占用");
    default:
        fail(m_db, "读取数据库失败");
    }
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

std::string Statement::columnName(int column) const
{
    const char *name = sqlite3_column_name(m_stmt, column);
    return name ? name : "";
}

std::optional<std::string> Statement::text(int column) const
{
    if (sqlite3_column_type(m_stmt, column) == SQLITE_NULL)
        return std::nullopt;
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    const int size = sqlite3_column_bytes(m_stmt, column);
    if (!data)
        return std::string();
    return std::string(data, static_cast<size_t>(size));
}

long long Statement::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

} // namespace somnara::sqlite
