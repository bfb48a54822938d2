// FaultSeam: while it lives, the facade's connections go through a
// fault-injecting provider in front of the real one, so a test can fail the
// Nth database call of whatever it runs.
//
// Typical use: run the operation once with plan().FailAt(0) to learn how
// many calls it makes (plan().calls()), then once per N with FailAt(N),
// checking after each failure that nothing partial was stored. The seam
// installs a pool of its own; the pool's idle connections close with it.
#pragma once

#include <memory>

#include "host/adodb/connection_pool.h"
#include "host/adodb/fault_injection.h"

namespace tabrix::testing {

class FaultSeam {
 public:
  FaultSeam();
  ~FaultSeam();
  FaultSeam(const FaultSeam&) = delete;
  FaultSeam& operator=(const FaultSeam&) = delete;

  adodb::FaultPlan& plan() { return *plan_; }

 private:
  std::shared_ptr<adodb::FaultPlan> plan_;
  adodb::ConnectionPool pool_;
  adodb::ScopedPool scope_;
};

}  // namespace tabrix::testing
