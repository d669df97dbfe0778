// Writes the benchmark tables into the cache folder given, reusing those already there.
#include "dream_tables.h"

#include <exception>
#include <iostream>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::cerr << "usage: somnara-bench-tables CACHE-FOLDER\n";
        return 2;
    }
    try {
        somnara::bench::ensureTables(argv[1]);
    } catch (const std::exception &error) {
        std::cerr << "somnara-bench-tables: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
