#pragma once

#include "sqlite.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace somnara {

enum class FileFormat {
    Missing,     // nothing at that path
    Directory,   // a folder, not a file
    Unreadable,  // exists, but we may not read it
    SQLite,
    Jet,         // Access 97 to 2003 (and later ACE) files
    Unknown,     // anything else, the empty file included
};

// Tells the format by the file's first bytes, never by its name.
FileFormat detectFormat(const std::string &path);

// The "Data Source" of an ADO-style connection string such as
// "provider=…;Data Source=smra.mdb;Persist Security Info=False"; empty when it names none.
std::string dataSourceOf(std::string_view connectionString);

// The provider's description as the error box wants it: no trailing control characters,
// blanks or full stops.
std::string trimProviderMessage(std::string message);

// One open dream database: table Somnara, ready for the lookup statements. A Jet file is
// copied into memory when it is opened, so both formats answer the same SQL.
class DreamStore
{
public:
    // Throws StoreError, worded for the user, when the file cannot serve as a dream database.
    static std::unique_ptr<DreamStore> open(const std::string &dataSource);

    const sqlite::Database &database() const { return m_db; }
    FileFormat format() const { return m_format; }

    // Somnara is an ordinary table (rows in rowid order) with an index that starts with 主题,
    // so a containment lookup can scan the short index entries instead of every whole row.
    bool topicsIndexed() const { return m_topicsIndexed; }

    // Another program has written the file since it was opened (a copy over it, say): what
    // was learnt from it at opening, its structure included, may no longer hold.
    bool changedSinceOpened() const;

private:
    // Which file a path names, its size and its time of last write: a file read as it
    // stands is watched by these.
    struct FileStamp
    {
        std::uintmax_t device = 0; // device and inode stay 0 where the system has none
        std::uintmax_t inode = 0;
        std::uintmax_t size = 0;
        std::filesystem::file_time_type written;
        bool operator==(const FileStamp &) const = default;
    };
    static std::optional<FileStamp> stampOf(const std::string &path);

    DreamStore(sqlite::Database db, FileFormat format);

    sqlite::Database m_db;
    FileFormat m_format;
    bool m_topicsIndexed = false;
    long long m_dataVersion = 0;
    std::string m_path; // set when the file is read as it stands
    std::optional<FileStamp> m_stamp;
};

} // namespace somnara
