#include "process_memory.h"

#include <fstream>

#include <unistd.h>

namespace somnara::bench {

size_t residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    size_t size = 0;
    size_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE)) / 1024;
}

} // namespace somnara::bench
