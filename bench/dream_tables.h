#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace somnara::bench {

// The table sizes every figure is measured at.
inline const std::vector<size_t> kTableSizes{1'000, 10'000, 100'000, 1'000'000};

// Topics planted at known rows: birds named with GB 2312's rarer characters, which the random
// topics and texts never use, so each of them matches exactly one row, also as a substring,
// and the missing one matches none.
inline constexpr const char *kTopicAtStart = "鸬鹚";  // row 2
inline constexpr const char *kTopicInMiddle = "鹧鸪"; // row n / 2
inline constexpr const char *kTopicAtEnd = "鹈鹕";    // row n, the last
inline constexpr const char *kTopicMissing = "鸲鹆";  // no row

// Where the table of `rows` rows lies: <cache>/<rows>/smra.mdb, so the program can be started
// in that folder and find it by its bare name.
std::filesystem::path tableFolder(const std::filesystem::path &cache, size_t rows);
std::filesystem::path tableFile(const std::filesystem::path &cache, size_t rows);

// Writes every table that is not in `cache` yet; tables already there are reused. Throws
// std::runtime_error when a table cannot be written.
void ensureTables(const std::filesystem::path &cache);

// The dictionary's character set: GB 2312's 6,763 characters, the 3,755 common ones first.
std::vector<std::string> gb2312Hanzi();

// `count` of the table's topics, taken at rows spread evenly over it, for runs of lookups.
std::vector<std::string> sampleTopics(const std::filesystem::path &table, size_t count);

// What the in-process benchmarks are told ahead of Google Benchmark's own flags.
struct BenchArguments
{
    std::filesystem::path tables; // --tables=DIR, required
    int repetitions = 10;         // --repetitions=N
    std::vector<char *> rest;     // the program's name and every other flag
};

// Reads the arguments of `program`; prints its usage and gives nullopt when --tables is missing.
std::optional<BenchArguments> readBenchArguments(int argc, char **argv, const char *program);

} // namespace somnara::bench
