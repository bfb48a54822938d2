// Shared by the value tests: the error number a call raises, and a fixture
// that puts the process's regional settings back to en-US afterwards.
#pragma once

#include <gtest/gtest.h>

#include "host/error.h"
#include "host/locale/locale.h"

namespace tabrix::testing {

// The error number `call` raises; 0 when it returns.
template <class Call>
long ErrorOf(Call&& call) {
  try {
    call();
  } catch (const ScriptError& e) {
    return e.number();
  }
  return 0;
}

// For tests that switch the regional settings: en-US again after each.
class RegionalTest : public ::testing::Test {
 protected:
  void TearDown() override { Locale::SetCurrent("en-US"); }
};

}  // namespace tabrix::testing
