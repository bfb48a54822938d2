// Shared by the value tests: the error number a call raises, and a fixture
// that puts the process's regional settings back to en-US afterwards.
#pragma once

#include <gtest/gtest.h>

#include "host/locale/locale.h"
#include "support/error_number.h"

namespace tabrix::testing {

// For tests that switch the regional settings: en-US again after each.
class RegionalTest : public ::testing::Test {
 protected:
  void TearDown() override { Locale::SetCurrent("en-US"); }
};

}  // namespace tabrix::testing
