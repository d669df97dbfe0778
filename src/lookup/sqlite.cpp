#include "sqlite.h"

#include "store_error.h"

#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <system_error>
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

// A file name as an SQLite URI: absolute, with forward slashes, and every byte that is not
// plainly part of a path escaped, so that a '?', '#' or '%' in a folder's name stays in it.
std::string fileUri(const std::string &path)
{
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(std::filesystem::u8path(path), ec);
    const auto generic = ec ? std::filesystem::u8path(path).generic_u8string()
                            : absolute.generic_u8string();
    std::string uri = "file://";
    if (generic.empty() || generic.front() != u8'/')
        uri += '/'; // a drive letter: file:///C:/…
    static constexpr char hex[] = "0123456789ABCDEF";
    for (const auto ch : generic) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
                           || (c >= '0' && c <= '9') || (c != 0 && std::strchr("/-._~:", c));
        if (plain) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 0xf];
        }
    }
    return uri;
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
    return open(path, SQLITE_OPEN_READONLY);
}

Database Database::openImmutable(const std::string &path)
{
    return open(fileUri(path) + "?immutable=1", SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
}

Database Database::open(const std::string &name, int flags)
{
    sqlite3 *handle = nullptr;
    const int rc = sqlite3_open_v2(name.c_str(), &handle, flags, nullptr);
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
