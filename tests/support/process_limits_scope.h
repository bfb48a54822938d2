// Puts process limits in force for one test and restores the ones before
// when it ends, so that tests which bound the process leave no trace.
#pragma once

#include "component/process_limits.h"

namespace tabrix::testing {

class ProcessLimitsScope {
 public:
  explicit ProcessLimitsScope(const ProcessLimits& limits) : before_(CurrentProcessLimits()) {
    SetProcessLimits(limits);
  }
  ~ProcessLimitsScope() { SetProcessLimits(before_); }
  ProcessLimitsScope(const ProcessLimitsScope&) = delete;
  ProcessLimitsScope& operator=(const ProcessLimitsScope&) = delete;

 private:
  ProcessLimits before_;
};

}  // namespace tabrix::testing
