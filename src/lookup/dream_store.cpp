#include "dream_store.h"

#include "jet_reader.h"
#include "store_error.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace somnara {

namespace {

std::string absoluteName(const std::string &path)
{
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(std::filesystem::u8path(path), ec);
    if (ec)
        return path;
    const auto text = absolute.lexically_normal().u8string();
    return std::string(text.begin(), text.end());
}

std::string lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

bool hasTopicIndex(const sqlite::Database &db)
{
    try {
        // A view or a WITHOUT ROWID table has no rowid, and a column named like it hides it.
        sqlite::Statement table(db, "SELECT (SELECT type FROM sqlite_schema WHERE name = 'Somnara' "
                                    "COLLATE NOCASE) = 'table' AND NOT EXISTS (SELECT 1 FROM "
                                    "pragma_table_info('Somnara') WHERE name IN ('rowid', "
                                    "'_rowid_', 'oid') COLLATE NOCASE)");
        if (!table.step() || table.integer(0) == 0)
            return false;
        sqlite::Statement rowid(db, "SELECT rowid FROM Somnara LIMIT 0");
        sqlite::Statement index(db, "SELECT 1 FROM pragma_index_list('Somnara') AS list, "
                                    "pragma_index_info(list.name) AS info WHERE list.partial = 0 "
                                    "AND info.seqno = 0 AND info.name = '主题' COLLATE NOCASE");
        return index.step();
    } catch (const StoreError &) {
        return false;
    }
}

// Changes whenever another connection has committed to the file; never for an in-memory copy.
long long dataVersion(const sqlite::Database &db)
{
    sqlite::Statement version(db, "PRAGMA data_version");
    return version.step() ? version.integer(0) : 0;
}

// The header's read and write versions are 2 once the file is in write-ahead-log mode.
bool writeAheadLogged(const std::string &path)
{
    std::ifstream file(std::filesystem::u8path(path), std::ios::binary);
    std::array<char, 20> head{};
    file.read(head.data(), head.size());
    return file.gcount() == static_cast<std::streamsize>(head.size())
           && (head[18] == 2 || head[19] == 2);
}

} // namespace

std::optional<DreamStore::FileStamp> DreamStore::stampOf(const std::string &path)
{
    std::error_code ec;
    const auto fsPath = std::filesystem::u8path(path);
    FileStamp stamp;
#ifndef _WIN32
    struct stat status = {};
    if (::stat(fsPath.c_str(), &status) != 0)
        return std::nullopt;
    stamp.device = static_cast<std::uintmax_t>(status.st_dev);
    stamp.inode = static_cast<std::uintmax_t>(status.st_ino);
#endif
    stamp.size = std::filesystem::file_size(fsPath, ec);
    if (ec)
        return std::nullopt;
    stamp.written = std::filesystem::last_write_time(fsPath, ec);
    if (ec)
        return std::nullopt;
    return stamp;
}

DreamStore::DreamStore(sqlite::Database db, FileFormat format)
    : m_db(std::move(db)), m_format(format), m_topicsIndexed(hasTopicIndex(m_db)),
      m_dataVersion(dataVersion(m_db))
{
}

bool DreamStore::changedSinceOpened() const
{
    if (!m_path.empty()) {
        // As a connection that locks the file does, keep reading the file that was opened when
        // another is renamed over it or it is removed; notice only that file being rewritten.
        const auto now = stampOf(m_path);
        return !m_stamp
               || (now && now->device == m_stamp->device && now->inode == m_stamp->inode
                   && now != m_stamp);
    }
    try {
        return dataVersion(m_db) != m_dataVersion;
    } catch (const StoreError &) {
        if (m_db.busy())
            throw;
        // No longer even a database: opening it afresh says what it has become.
        return true;
    }
}

FileFormat detectFormat(const std::string &path)
{
    std::error_code ec;
    const auto fsPath = std::filesystem::u8path(path);
    const auto status = std::filesystem::status(fsPath, ec);
    if (!std::filesystem::exists(status))
        return FileFormat::Missing;
    if (std::filesystem::is_directory(status))
        return FileFormat::Directory;

    std::ifstream file(fsPath, std::ios::binary);
    if (!file)
        return FileFormat::Unreadable;
    std::array<char, 32> head{};
    file.read(head.data(), head.size());
    const auto got = static_cast<size_t>(file.gcount());

    static constexpr char sqliteMagic[] = "SQLite format 3"; // with its terminating zero
    if (got >= sizeof sqliteMagic && std::memcmp(head.data(), sqliteMagic, sizeof sqliteMagic) == 0)
        return FileFormat::SQLite;

    // Jet and ACE files start with 00 01 00 00 and the engine's name.
    static constexpr char jetMagic[] = "Standard Jet DB";
    static constexpr char aceMagic[] = "Standard ACE DB";
    if (got >= 4 + sizeof jetMagic && head[0] == 0 && head[1] == 1 && head[2] == 0 && head[3] == 0
        && (std::memcmp(head.data() + 4, jetMagic, sizeof jetMagic) == 0
            || std::memcmp(head.data() + 4, aceMagic, sizeof aceMagic) == 0))
        return FileFormat::Jet;
    return FileFormat::Unknown;
}

std::string dataSourceOf(std::string_view connectionString)
{
    while (!connectionString.empty()) {
        const auto end = connectionString.find(';');
        const auto part = connectionString.substr(0, end);
        const auto equals = part.find('=');
        if (equals != std::string_view::npos
            && lower(trimmed(part.substr(0, equals))) == "data source")
            return std::string(trimmed(part.substr(equals + 1)));
        if (end == std::string_view::npos)
            break;
        connectionString.remove_prefix(end + 1);
    }
    return {};
}

std::string trimProviderMessage(std::string message)
{
    while (!message.empty()) {
        const auto c = static_cast<unsigned char>(message.back());
        if (c <= ' ' || c == '.' || c == 0x7f)
            message.pop_back();
        else
            break;
    }
    return message;
}

std::unique_ptr<DreamStore> DreamStore::open(const std::string &dataSource)
{
    if (dataSource.empty())
        throw StoreError("连接字符串没有指明数据库文件（Data Source）");

    const std::string where = "（查找位置：" + absoluteName(dataSource) + "）";
    const std::string quoted = "“" + dataSource + "”";

    switch (detectFormat(dataSource)) {
    case FileFormat::Missing:
        throw StoreError("找不到梦境数据库文件" + quoted + where);
    case FileFormat::Directory:
        throw StoreError(quoted + "是一个文件夹，不是梦境数据库文件" + where);
    case FileFormat::Unreadable:
        throw StoreError("无法读取梦境数据库文件" + quoted + "，请检查文件权限" + where);
    case FileFormat::Unknown:
        throw StoreError(quoted + "不是梦境数据库：既不是 SQLite 也不是 Access 数据库文件" + where);
    case FileFormat::Jet:
        return std::unique_ptr<DreamStore>(
            new DreamStore(loadJetTable(dataSource, dataSource), FileFormat::Jet));
    case FileFormat::SQLite:
        break;
    }

    // In write-ahead-log mode even a reading connection creates the log and its index beside
    // the file. With no log there, no writer is at work and every commit is in the file
    // itself: read it as it stands, creating nothing, and watch it for changes ourselves. With
    // a log there, a writer is at work (or was stopped) and its commits are in that log.
    const auto log = std::filesystem::u8path(dataSource + "-wal");
    const bool asItStands = writeAheadLogged(dataSource) && !std::filesystem::exists(log);
    const auto stamp = asItStands ? stampOf(dataSource) : std::nullopt;

    sqlite::Database db;
    bool hasTable = false;
    try {
        db = asItStands ? sqlite::Database::openImmutable(dataSource)
                        : sqlite::Database::openReadOnly(dataSource);
        // A lookup reads a handful of pages, which the system caches anyway; SQLite's own cache
        // needs little more than the upper levels of the trees, so it is held at 1 MiB instead
        // of growing towards its default 2 MB over the first few hundred lookups.
        db.execute("PRAGMA cache_size = -1024");
        sqlite::Statement query(db, "SELECT 1 FROM sqlite_schema WHERE type IN ('table', 'view') "
                                    "AND name = 'Somnara' COLLATE NOCASE");
        hasTable = query.step();
    } catch (const StoreError &error) {
        // SQLite's own words ("file is not a database") say what is wrong; a lock held by
        // another program is told as a lookup tells it, and a write left unfinished in our
        // words, since SQLite's ("attempt to write a readonly database") would blame us.
        std::string reason = db ? db.lastError() : error.what();
        if (db && db.busy())
            reason = "数据库正被其他程序占用：" + reason;
        else if (db && db.interruptedWrite())
            reason = "另一个程序写入它时中断了，留下了未完成的写入（" + dataSource
                     + "-journal），须先由能写入它的程序打开一次来恢复";
        throw StoreError("无法读取梦境数据库" + quoted + "：" + reason + where);
    }
    if (!hasTable)
        throw StoreError(quoted + "不是梦境数据库：其中没有数据表 Somnara" + where);
    std::unique_ptr<DreamStore> store(new DreamStore(std::move(db), FileFormat::SQLite));
    if (asItStands) {
        store->m_path = dataSource;
        store->m_stamp = stamp;
    }
    return store;
}

} // namespace somnara
