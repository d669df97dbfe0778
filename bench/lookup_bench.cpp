// In-process figures of the dream lookup: opening at start, exact and containment lookups at
// every table size, each beside the client-cursor way and SQLite's own bare scan.
//
//   somnara-lookup-bench --tables=DIR [--repetitions=N] [Google Benchmark flags]
#include "client_cursor.h"
#include "dream_lookup.h"
#include "dream_query.h"
#include "dream_tables.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

using namespace somnara;
using namespace somnara::bench;

namespace {

std::filesystem::path tables;

std::string connectionStringFor(size_t rows)
{
    return "provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + tableFile(tables, rows).string()
           + ";Persist Security Info=False";
}

void check(benchmark::State &state, bool ok, const char *what)
{
    if (!ok)
        state.SkipWithError(what);
}

// --- Opening at start: connect, run "select * from Somnara", show the first row ---------

void startOurs(benchmark::State &state, size_t rows)
{
    for (auto _ : state) {
        DreamQuery query;
        query.setConnectionString(connectionStringFor(rows));
        query.setSql(std::string(kStartStatement));
        query.open();
        auto content = query.value(query.fieldIndex("内容"));
        benchmark::DoNotOptimize(content);
        check(state, content.has_value(), "the first row has no text");
    }
}

void startClient(benchmark::State &state, size_t rows)
{
    for (auto _ : state) {
        ClientCursor cursor(tableFile(tables, rows).string());
        auto content = cursor.open(std::string(kStartStatement));
        benchmark::DoNotOptimize(content);
        check(state, cursor.rowCount() == rows, "the client cursor did not read every row");
    }
}

// --- Lookups on an open connection --------------------------------------------------------

// The keywords of one kind of lookup. Exact lookups go through topics spread over the whole
// table, each time another, so they read the pages a user's lookups would; a topic with a
// character no table uses after it is missed.
std::vector<std::string> keywordsFor(size_t rows, const char *kind)
{
    if (std::strcmp(kind, "exact_hit") == 0 || std::strcmp(kind, "exact_miss") == 0) {
        auto topics = sampleTopics(tableFile(tables, rows), 1000);
        if (std::strcmp(kind, "exact_miss") == 0) {
            for (auto &topic : topics)
                topic += kTopicMissing;
        }
        return topics;
    }
    if (std::strcmp(kind, "contains_start") == 0)
        return {kTopicAtStart};
    if (std::strcmp(kind, "contains_end") == 0)
        return {kTopicAtEnd};
    return {kTopicMissing};
}

bool containment(const char *kind)
{
    return std::strncmp(kind, "contains", 8) == 0;
}

bool hits(const char *kind)
{
    return std::strstr(kind, "miss") == nullptr;
}

void lookupOurs(benchmark::State &state, size_t rows, const char *kind)
{
    const auto keywords = keywordsFor(rows, kind);
    DreamQuery query;
    query.setConnectionString(connectionStringFor(rows));
    query.setSql(std::string(kStartStatement));
    query.open(); // the window has connected at start
    size_t next = 0;
    for (auto _ : state) {
        lookUp(query, keywords[next++ % keywords.size()], containment(kind));
        auto content = query.value(query.fieldIndex("内容"));
        benchmark::DoNotOptimize(content);
        check(state, query.hasRow() == hits(kind), "wrong result");
    }
}

// The statements composed with the keyword as text, read through a client cursor.
void lookupClient(benchmark::State &state, size_t rows, const char *kind)
{
    std::vector<std::string> statements;
    for (const auto &keyword : keywordsFor(rows, kind)) {
        statements.push_back(containment(kind)
                                 ? "Select * from Somnara where 主题 like '%" + keyword + "%'"
                                 : "Select * from Somnara where 主题='" + keyword + "'");
    }
    ClientCursor cursor(tableFile(tables, rows).string());
    cursor.open(std::string(kStartStatement) + " limit 1");
    size_t next = 0;
    for (auto _ : state) {
        auto content = cursor.open(statements[next++ % statements.size()]);
        benchmark::DoNotOptimize(content);
        check(state, content.has_value() == hits(kind), "wrong result");
    }
}

struct Sample
{
    double wall = 0; // microseconds
    double cpu = 0;  // microseconds of this thread
};

template<typename Work>
Sample measure(Work &&work)
{
    const auto threadCpu = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
    };
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = threadCpu();
    work();
    return {std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - wallStart)
                .count(),
            threadCpu() - cpuStart};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Our containment lookup against SQLite's own scan of the same table, on a connection with its
// default settings. Each iteration runs both, in turns of order, so that both meet the same load
// of a shared machine; the figure is the median of the pairs' ratios.
void containmentPairs(benchmark::State &state, size_t rows, const char *kind)
{
    const std::string keyword = keywordsFor(rows, kind).front();
    DreamQuery query;
    query.setConnectionString(connectionStringFor(rows));
    query.setSql(std::string(kStartStatement));
    query.open();
    sqlite3 *db = nullptr;
    sqlite3_open_v2(tableFile(tables, rows).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    const std::string bareSql =
        "SELECT count(*) FROM Somnara WHERE 主题 LIKE '%" + keyword + "%'";

    const auto ours = [&] {
        lookUp(query, keyword, true);
        check(state, query.hasRow() == hits(kind), "wrong result");
    };
    const auto bare = [&] {
        sqlite3_stmt *statement = nullptr;
        sqlite3_prepare_v2(db, bareSql.c_str(), -1, &statement, nullptr);
        const bool ok = sqlite3_step(statement) == SQLITE_ROW;
        benchmark::DoNotOptimize(sqlite3_column_int64(statement, 0));
        sqlite3_finalize(statement);
        check(state, ok, sqlite3_errmsg(db));
    };
    std::vector<double> oursCpu, bareCpu, oursWall, bareWall, cpuRatios, wallRatios;
    bool oursFirst = true;
    for (auto _ : state) {
        Sample a, b;
        if (oursFirst) {
            a = measure(ours);
            b = measure(bare);
        } else {
            b = measure(bare);
            a = measure(ours);
        }
        oursFirst = !oursFirst;
        oursCpu.push_back(a.cpu);
        bareCpu.push_back(b.cpu);
        oursWall.push_back(a.wall);
        bareWall.push_back(b.wall);
        cpuRatios.push_back(a.cpu / b.cpu);
        wallRatios.push_back(a.wall / b.wall);
    }
    sqlite3_close(db);
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["ours_cpu_us"] = median(oursCpu);
    state.counters["bare_cpu_us"] = median(bareCpu);
    state.counters["ours_wall_us"] = median(oursWall);
    state.counters["bare_wall_us"] = median(bareWall);
    state.counters["cpu_ratio"] = median(cpuRatios);
    state.counters["wall_ratio"] = median(wallRatios);
}

void registerAll(int repetitions)
{
    // A slow case runs once per repetition; the client cursor's slow cases only give a speed-up
    // of orders of magnitude, which five runs tell as well as ten.
    const auto common = [repetitions](benchmark::internal::Benchmark *b, bool slow,
                                      bool client = false) {
        b->Repetitions(slow && client ? std::min(repetitions, 5) : repetitions)
            ->ReportAggregatesOnly(true)
            ->Unit(benchmark::kMicrosecond);
        if (slow)
            b->Iterations(1);
        else
            b->MinTime(0.05);
    };
    const auto name = [](const char *kind, const char *who, size_t rows) {
        return std::string(kind) + "/" + who + "/" + std::to_string(rows);
    };
    for (const size_t rows : kTableSizes) {
        common(benchmark::RegisterBenchmark(name("start", "ours", rows).c_str(), startOurs, rows),
               false);
        common(benchmark::RegisterBenchmark(name("start", "client", rows).c_str(), startClient,
                                            rows),
               rows >= 100'000, true);
        for (const char *kind : {"exact_hit", "exact_miss"}) {
            common(benchmark::RegisterBenchmark(name(kind, "ours", rows).c_str(), lookupOurs, rows,
                                                kind),
                   false);
            common(benchmark::RegisterBenchmark(name(kind, "client", rows).c_str(), lookupClient,
                                                rows, kind),
                   false);
        }
    }
    // Containment reads the whole topic index or table: its figure is taken on the largest.
    const size_t rows = kTableSizes.back();
    for (const char *kind : {"contains_start", "contains_end", "contains_miss"}) {
        benchmark::RegisterBenchmark(name(kind, "pairs", rows).c_str(), containmentPairs, rows,
                                     kind)
            ->Iterations(std::max(repetitions, 10))
            ->Unit(benchmark::kMillisecond);
        common(benchmark::RegisterBenchmark(name(kind, "client", rows).c_str(), lookupClient, rows,
                                            kind),
               true, true);
    }
}

} // namespace

int main(int argc, char **argv)
{
    auto arguments = readBenchArguments(argc, argv, "somnara-lookup-bench");
    if (!arguments)
        return 2;
    const int repetitions = arguments->repetitions;
    std::vector<char *> &rest = arguments->rest;
    ensureTables(arguments->tables);
    tables = std::filesystem::absolute(arguments->tables);

    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restCount, rest.data()))
        return 2;
    registerAll(repetitions);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
