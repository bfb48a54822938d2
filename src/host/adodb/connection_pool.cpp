#include "host/adodb/connection_pool.h"

#include <atomic>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "host/adodb/provider_registry.h"

namespace tabrix::adodb {

namespace {
// Idle connections kept per connection string; the rest are closed.
constexpr size_t kMaxIdlePerString = 8;
}  // namespace

struct ConnectionPool::State {
  std::mutex mutex;
  // Guarded by mutex. Most recently returned last, taken first, so one
  // request's successive queries get the same connection.
  std::unordered_map<std::string, std::vector<std::unique_ptr<ConnectionBackend>>> idle;
  std::atomic<std::int64_t> opened{0};
};

ConnectionPool::ConnectionPool() : state_(std::make_shared<State>()) {}

ConnectionPool& ConnectionPool::Global() {
  // Never destroyed: connections may be given back during static teardown.
  static ConnectionPool* pool = new ConnectionPool();
  return *pool;
}

PooledConnection ConnectionPool::Acquire(std::string_view connection_string) {
  ConnectionString parts = ConnectionString::Parse(connection_string);
  std::string key(connection_string);
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    auto it = state_->idle.find(key);
    if (it != state_->idle.end() && !it->second.empty()) {
      std::unique_ptr<ConnectionBackend> backend = std::move(it->second.back());
      it->second.pop_back();
      return PooledConnection(this, std::move(key), std::move(backend));
    }
  }
  // Opening may take a while; it runs outside the lock.
  const Provider& provider = FindProvider(parts.provider());
  std::unique_ptr<ConnectionBackend> backend = provider.Connect(parts);
  state_->opened.fetch_add(1);
  return PooledConnection(this, std::move(key), std::move(backend));
}

void ConnectionPool::CloseIdle(std::string_view connection_string) {
  std::vector<std::unique_ptr<ConnectionBackend>> closing;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    auto it = state_->idle.find(std::string(connection_string));
    if (it == state_->idle.end()) return;
    closing = std::move(it->second);
    state_->idle.erase(it);
  }
}

std::int64_t ConnectionPool::connections_opened() const { return state_->opened.load(); }

void ConnectionPool::GiveBack(const std::string& key, std::unique_ptr<ConnectionBackend> backend) {
  if (backend->InTransaction()) {
    try {
      backend->Rollback();
    } catch (...) {
      return;  // a connection in an unknown state is closed, not reused
    }
  }
  std::lock_guard<std::mutex> lock(state_->mutex);
  auto& idle = state_->idle[key];
  if (idle.size() < kMaxIdlePerString) idle.push_back(std::move(backend));
  // Otherwise `backend` closes as it goes out of scope.
}

PooledConnection& PooledConnection::operator=(PooledConnection&& other) noexcept {
  if (this != &other) {
    Release();
    pool_ = other.pool_;
    key_ = std::move(other.key_);
    backend_ = std::move(other.backend_);
    other.pool_ = nullptr;
  }
  return *this;
}

PooledConnection::~PooledConnection() { Release(); }

void PooledConnection::Release() {
  if (backend_ && pool_) pool_->GiveBack(key_, std::move(backend_));
  backend_.reset();
  pool_ = nullptr;
}

}  // namespace tabrix::adodb
