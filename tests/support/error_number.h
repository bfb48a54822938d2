// What a call raises, for tests that check error numbers.
#pragma once

#include <functional>
#include <string>

#include "host/error.h"

namespace tabrix::testing {

// The number of the ScriptError `call` raises, 0 when it returns; the
// description goes to `description` when given.
inline long ErrorNumberOf(const std::function<void()>& call, std::string* description = nullptr) {
  try {
    call();
  } catch (const ScriptError& e) {
    if (description != nullptr) *description = e.description();
    return e.number();
  }
  return 0;
}

}  // namespace tabrix::testing
