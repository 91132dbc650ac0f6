#pragma once

#include <cstdio>
#include <cstdlib>

// What every fuzz target shares: a failed check prints what was expected
// and aborts, which libFuzzer reports as a crash and saves the input for.
namespace tess::fuzz {

[[noreturn]] inline void fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

} // namespace tess::fuzz

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            ::tess::fuzz::fail(#condition, __FILE__, __LINE__);                                              \
    } while (false)
