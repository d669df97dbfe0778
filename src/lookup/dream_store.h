#pragma once

#include "sqlite.h"

#include <memory>
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

private:
    DreamStore(sqlite::Database db, FileFormat format) : m_db(std::move(db)), m_format(format) {}

    sqlite::Database m_db;
    FileFormat m_format;
};

} // namespace somnara
