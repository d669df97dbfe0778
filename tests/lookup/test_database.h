#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace somnara {
class DreamQuery;
}

namespace somnara::test {

// A fresh folder under the system's temporary directory, removed with the object.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return m_path; }
    std::filesystem::path operator/(const std::string &name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

struct Row
{
    std::optional<std::string> topic;
    std::optional<std::string> content;
};

// Writes an SQLite dream database with table Somnara (编号, 主题, 内容) holding `rows` in order.
// `caseless` declares 主题 COLLATE NOCASE, as the shipped dictionary does.
void writeDreamDatabase(const std::filesystem::path &file, const std::vector<Row> &rows,
                        bool caseless = true);

// Puts the file in write-ahead-log mode for good, as tools that edit a database may; closing
// the last connection leaves no log beside it.
void switchToWriteAheadLog(const std::filesystem::path &file);

// The rows that show most faults: NULL and empty topics, wildcards and quotes among them.
std::vector<Row> decoyRows();

std::string readBytes(const std::filesystem::path &file);

// Runs `body` with the current directory set to `dir`, and restores it afterwards.
class CurrentDir
{
public:
    explicit CurrentDir(const std::filesystem::path &dir);
    ~CurrentDir();

private:
    std::filesystem::path m_previous;
};

// The 内容 of the row a query shows; nullopt when it shows none or the field is NULL.
std::optional<std::string> contentOf(const DreamQuery &query);

} // namespace somnara::test
