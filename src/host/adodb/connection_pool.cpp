#include "host/adodb/connection_pool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace tabrix::adodb {

namespace {

// Whether `backend`, back from a borrower, can serve the next one: out of
// any transaction and healthy.
bool Reusable(ConnectionBackend& backend) {
  try {
    if (backend.InTransaction()) backend.Rollback();
    return !backend.InTransaction() && backend.Healthy();
  } catch (...) {
    return false;  // a connection in an unknown state is closed, not reused
  }
}

bool StillAlive(ConnectionBackend& backend, bool round_trip) {
  try {
    return backend.Alive(round_trip);
  } catch (...) {
    return false;
  }
}

std::atomic<ConnectionPool*>& CurrentPool() {
  // The process's pool is never destroyed: connections may be given back
  // during static teardown.
  static std::atomic<ConnectionPool*> current{new ConnectionPool()};
  return current;
}

}  // namespace

std::size_t PoolLimits::DefaultWorkers() {
  return std::max(1u, std::thread::hardware_concurrency());
}

class PoolState {
 public:
  PoolState(std::shared_ptr<const ProviderRegistry> providers, PoolLimits limits)
      : providers(std::move(providers)), limits(limits) {}

  using Clock = std::chrono::steady_clock;
  struct Idle {
    std::unique_ptr<ConnectionBackend> backend;
    Clock::time_point since;
  };
  struct PerString {
    // Most recently returned last, taken first, so one request's
    // successive queries get the same connection.
    std::vector<Idle> idle;
    std::size_t open = 0;  // idle and in use
    std::size_t peak = 0;
  };

  void GiveBack(const std::string& key, std::unique_ptr<ConnectionBackend> backend) {
    bool keep = Reusable(*backend);
    std::unique_ptr<ConnectionBackend> closing;
    {
      std::lock_guard<std::mutex> lock(mutex);
      PerString& entry = strings[key];
      if (keep) {
        entry.idle.push_back({std::move(backend), Clock::now()});
      } else {
        closing = std::move(backend);
        --entry.open;
      }
    }
    freed.notify_one();
    // `closing` closes here, outside the lock.
  }

  const std::shared_ptr<const ProviderRegistry> providers;
  std::mutex mutex;
  std::condition_variable freed;
  PoolLimits limits;                                    // guarded by mutex
  std::unordered_map<std::string, PerString> strings;  // guarded by mutex
  std::atomic<std::int64_t> opened{0};
};

ConnectionPool::ConnectionPool(std::shared_ptr<const ProviderRegistry> providers,
                               PoolLimits limits)
    : state_(std::make_shared<PoolState>(std::move(providers), limits)) {}

ConnectionPool::~ConnectionPool() = default;

ConnectionPool& ConnectionPool::Current() { return *CurrentPool().load(); }

PooledConnection ConnectionPool::Acquire(std::string_view connection_string) {
  ConnectionString parts = ConnectionString::Parse(connection_string);
  const Provider& provider = state_->providers->Find(parts.provider());
  std::string key(connection_string);
  for (;;) {
    std::unique_ptr<ConnectionBackend> idle;
    bool round_trip = false;
    {
      std::unique_lock<std::mutex> lock(state_->mutex);
      PoolState::PerString& entry = state_->strings[key];
      auto deadline = std::chrono::steady_clock::now() + state_->limits.wait;
      while (entry.idle.empty() && entry.open >= state_->limits.per_string) {
        if (state_->freed.wait_until(lock, deadline) == std::cv_status::timeout &&
            entry.idle.empty() && entry.open >= state_->limits.per_string) {
          RaiseProviderError("no database connection came free within " +
                                 std::to_string(state_->limits.wait.count()) + " ms: all " +
                                 std::to_string(entry.open) + " connections for " +
                                 parts.redacted_text() + " are in use",
                             {"", "pool", DbFailure::kBusy});
        }
      }
      if (!entry.idle.empty()) {
        PoolState::Idle& last = entry.idle.back();
        round_trip = PoolState::Clock::now() - last.since >= state_->limits.idle_check;
        idle = std::move(last.backend);
        entry.idle.pop_back();
      } else {
        ++entry.open;  // the slot is ours while we connect
        entry.peak = std::max(entry.peak, entry.open);
      }
    }
    if (!idle) break;
    // The check may wait for the server; it runs outside the lock.
    if (StillAlive(*idle, round_trip))
      return PooledConnection(state_, std::move(key), std::move(idle));
    idle.reset();  // a dead link is closed, and its slot given up
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      --state_->strings[key].open;
    }
    state_->freed.notify_one();
  }
  // Opening may take a while; it runs outside the lock.
  try {
    std::unique_ptr<ConnectionBackend> backend = provider.Connect(parts);
    state_->opened.fetch_add(1);
    return PooledConnection(state_, std::move(key), std::move(backend));
  } catch (...) {
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      --state_->strings[key].open;
    }
    state_->freed.notify_one();
    throw;
  }
}

void ConnectionPool::CloseIdle(std::string_view connection_string) {
  std::vector<PoolState::Idle> closing;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    auto it = state_->strings.find(std::string(connection_string));
    if (it == state_->strings.end()) return;
    closing = std::move(it->second.idle);
    it->second.idle.clear();
    it->second.open -= closing.size();
    if (it->second.open == 0) state_->strings.erase(it);
  }
  state_->freed.notify_all();
}

void ConnectionPool::set_limits(const PoolLimits& limits) {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->limits = limits;
  }
  state_->freed.notify_all();
}

PoolLimits ConnectionPool::limits() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->limits;
}

std::int64_t ConnectionPool::connections_opened() const { return state_->opened.load(); }

std::size_t ConnectionPool::peak_open(std::string_view connection_string) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  auto it = state_->strings.find(std::string(connection_string));
  return it == state_->strings.end() ? 0 : it->second.peak;
}

ScopedPool::ScopedPool(ConnectionPool& pool) : previous_(CurrentPool().exchange(&pool)) {}

ScopedPool::~ScopedPool() { CurrentPool().store(previous_); }

PooledConnection& PooledConnection::operator=(PooledConnection&& other) noexcept {
  if (this != &other) {
    Release();
    pool_ = std::move(other.pool_);
    key_ = std::move(other.key_);
    backend_ = std::move(other.backend_);
  }
  return *this;
}

PooledConnection::~PooledConnection() { Release(); }

void PooledConnection::Release() {
  if (backend_ && pool_) pool_->GiveBack(key_, std::move(backend_));
  backend_.reset();
  pool_.reset();
}

}  // namespace tabrix::adodb
