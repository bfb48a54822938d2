// What every fuzz target uses to state a property: a violated one aborts,
// so libFuzzer keeps the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                       \
  do {                                                                              \
    if (!(condition)) {                                                             \
      std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, \
                   #condition);                                                     \
      std::abort();                                                                 \
    }                                                                               \
  } while (0)
