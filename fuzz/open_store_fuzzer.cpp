// Arbitrary bytes as smra.mdb: format detection, then the SQLite or the Access reader, then the
// start statement and a lookup in each mode. A file that cannot serve must say so in words
// and leave the query closed; a file that opens must answer like a dream database.
#include "dream_lookup.h"
#include "dream_query.h"
#include "store_error.h"
#include "test_database.h"

#include <sanitizer/common_interface_defs.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

using namespace somnara;

namespace {

struct Fixture
{
    test::TempDir dir;
    std::unique_ptr<test::CurrentDir> cwd;
};

Fixture *fixture = nullptr;

// Said through the sanitizer's report channel: the runs close stderr, where libmdb warns
// about every damaged page it meets.
[[noreturn]] void violated(const char *what, std::string_view detail = {})
{
    const std::string text = std::string("invariant broken: ") + what + " " + std::string(detail);
    __sanitizer_report_error_summary(text.c_str());
    std::abort();
}

// Runs `step`; a StoreError is a fine answer as long as it leaves the query closed.
template<typename Step>
bool survives(DreamQuery &query, Step step)
{
    try {
        step();
        return true;
    } catch (const StoreError &error) {
        if (query.active())
            violated("a refused query is open:", error.what());
        if (std::string_view(error.what()).empty())
            violated("a refusal without words");
        return false;
    }
}

void checkOpenQuery(const DreamQuery &query)
{
    if (!query.active())
        violated("an opened query is closed");
    if (!query.hasRow() && query.value(0))
        violated("a value without a row");
    if (query.hasRow() && query.fieldNames().empty())
        violated("a row without columns");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fixture = new Fixture;
    fixture->cwd = std::make_unique<test::CurrentDir>(fixture->dir.path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // SQLite makes these beside a database in write-ahead-log mode; left over, they would
    // carry one input's pages into the next.
    for (const char *leftover : {"smra.mdb-wal", "smra.mdb-shm", "smra.mdb-journal"})
        std::remove(leftover);
    {
        std::ofstream file("smra.mdb", std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
        if (!file)
            violated("cannot write the input file");
    }

    DreamQuery query;
    query.setConnectionString(std::string(kConnectionString));
    query.setSql(std::string(kStartStatement));
    try {
        query.open();
    } catch (const StoreError &error) {
        const std::string_view message = error.what();
        if (query.active())
            violated("a refused query is open:", message);
        // A file refused outright is named, so the user knows which one is at fault; a store
        // that opened but cannot run the statement answers in the database's words.
        if (!query.connected() && message.find("smra.mdb") == std::string_view::npos)
            violated("a refusal that does not name the file:", message);
        if (message.empty())
            violated("a refusal without words");
        return 0;
    }
    checkOpenQuery(query);

    // Damage further into the file shows only when the lookup reaches it.
    for (const bool containment : {false, true}) {
        for (const char *keyword : {"猫", "", "%"}) {
            if (survives(query, [&] { lookUp(query, keyword, containment); }))
                checkOpenQuery(query);
        }
    }
    return 0;
}
