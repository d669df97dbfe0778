#pragma once

#include <cstddef>

namespace somnara::bench {

// The process's resident set now, in KiB (from /proc/self/statm).
size_t residentKiB();

} // namespace somnara::bench
