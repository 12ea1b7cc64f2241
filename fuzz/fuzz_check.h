// A check that stays on in release builds: fuzz targets report a finding
// by aborting, which both libFuzzer and the replay program notice.
#pragma once
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                  \
  do {                                                                    \
    if (!(cond)) {                                                        \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                       \
    }                                                                     \
  } while (0)
