// Fault injection: a provider that forwards every call to another one and
// fails exactly the Nth, the way a test of a file system fails one write.
//
// A test builds a ProviderRegistry holding a FaultInjectingProvider in front
// of the real provider (under the real provider's name, so connection
// strings stay as they are), hands it to a pool of its own and installs
// that pool with ScopedPool. The shared FaultPlan counts the calls that
// reach the engine (connecting, preparing, stepping, binding, executing,
// transactions and savepoints, catalog reads, data tokens, row writes) and
// raises a provider error at call number `fail_at`; a test runs a write sequence
// once to learn how many calls it makes, then again with each N from 1 to
// that number. Calls that only read a value already fetched are not counted.
//
// A plan may be shared by several threads; the counting is atomic.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "host/adodb/backend.h"

namespace tabrix::adodb {

class FaultPlan {
 public:
  // Fail call number `n` (1-based) from now on counted; 0 fails none.
  // Resets the count.
  void FailAt(std::int64_t n) {
    calls_ = 0;
    fail_at_ = n;
    failed_ = false;
  }
  // The calls counted since the last FailAt.
  std::int64_t calls() const { return calls_; }
  // Whether the planned failure has happened.
  bool failed() const { return failed_; }

  // Counts one call named `what`; raises the planned failure when it is
  // the one: kErrProvider, with NativeError{engine, "injected",
  // DbFailure::kInjected}.
  void Count(const char* what, const std::string& engine);

 private:
  std::atomic<std::int64_t> calls_{0};
  std::atomic<std::int64_t> fail_at_{0};
  std::atomic<bool> failed_{false};
};

class FaultInjectingProvider : public Provider {
 public:
  // Answers to `inner`'s name.
  FaultInjectingProvider(std::shared_ptr<const Provider> inner, std::shared_ptr<FaultPlan> plan);

  std::string_view Name() const override { return inner_->Name(); }
  // Counts the connect, then wraps the inner provider's connection.
  std::unique_ptr<ConnectionBackend> Connect(const ConnectionString& parts) const override;

 private:
  std::shared_ptr<const Provider> inner_;
  std::shared_ptr<FaultPlan> plan_;
};

}  // namespace tabrix::adodb
