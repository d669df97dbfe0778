// Connects to a dream database the way the window does at start (an Access file is read into
// memory then) and reports the resident memory before and after.
//
//   somnara-bench-connect FILE     prints: rss_before_kib=… rss_after_kib=… rows_shown=0|1
//   somnara-bench-connect --jet    exits 0 when this build reads Access files
#include "dream_lookup.h"
#include "dream_query.h"
#include "jet_reader.h"
#include "process_memory.h"
#include "store_error.h"

#include <cstring>
#include <iostream>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::cerr << "usage: somnara-bench-connect FILE | --jet\n";
        return 2;
    }
    if (std::strcmp(argv[1], "--jet") == 0)
        return somnara::jetSupported() ? 0 : 1;

    const size_t before = somnara::bench::residentKiB();
    somnara::DreamQuery query;
    query.setConnectionString(std::string("provider=Microsoft.Jet.OLEDB.4.0;Data Source=")
                              + argv[1] + ";Persist Security Info=False");
    query.setSql(std::string(somnara::kStartStatement));
    try {
        query.open();
    } catch (const somnara::StoreError &error) {
        std::cerr << "somnara-bench-connect: " << error.what() << '\n';
        return 1;
    }
    std::cout << "rss_before_kib=" << before << " rss_after_kib=" << somnara::bench::residentKiB()
              << " rows_shown=" << (query.hasRow() ? 1 : 0) << '\n';
    return 0;
}
