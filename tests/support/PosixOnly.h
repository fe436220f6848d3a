#pragma once

#include <gtest/gtest.h>

// Ends a test, as skipped, where only POSIX can go on: symbolic links,
// /proc, mode bits. What the test checked before this point still counts.
#ifdef _WIN32
#define POSIX_ONLY_FROM_HERE(why) GTEST_SKIP() << "POSIX only: " << why
#else
#define POSIX_ONLY_FROM_HERE(why) static_cast<void>(why)
#endif
