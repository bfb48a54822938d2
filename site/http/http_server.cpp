#include "site/http/http_server.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <future>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "site/http/content_coding.h"
#include "site/http/http_connection.h"
#include "site/http/server_core.h"
#include "site/session/client_address.h"

namespace tabrix::site {

namespace net = boost::asio;
using tcp = net::ip::tcp;
using http_internal::Connection;
using http_internal::ServerCore;

namespace http_internal {

namespace {

HttpResponse InternalError() {
  HttpResponse failed;
  failed.status = 500;
  failed.SetHeader("Content-Type", "text/plain; charset=utf-8");
  failed.body = "Internal Server Error\n";
  return failed;
}

// Why an answer cannot be written as it is, or "" when it can. A header
// line break inside a name or value would let text a page took from a
// request start a header (or a body) of its own.
std::string WhyNotWritable(const HttpResponse& response) {
  if (response.status < 100 || response.status > 999)
    return "status " + std::to_string(response.status) + " is outside 100..999";
  for (const auto& [name, value] : response.headers) {
    constexpr std::string_view kNotInName(":\r\n\0 \t", 6);
    if (name.empty() || name.find_first_of(kNotInName) != std::string::npos)
      return "a header name is empty or holds a separator, line break or NUL";
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
      return "header " + name + " holds a line break or NUL";
  }
  return "";
}

}  // namespace

HttpResponse ServerCore::Handle(const HttpRequest& request) {
  std::string why;
  try {
    HttpResponse response = handler.Handle(request);
    why = WhyNotWritable(response);
    if (why.empty()) {
      if (options.compress) CompressForClient(request, response);
      return response;
    }
    why = "the answer cannot be written: " + why;
  } catch (const std::exception& e) {
    why = std::string("the handler raised: ") + e.what();
  } catch (...) {
    why = "the handler raised an exception of an unknown type";
  }
  LogError("internal error: " + request.method + " " + request.path + ": " + why);
  return InternalError();
}

void ServerCore::LogError(std::string_view line) {
  std::lock_guard lock(log_mutex_);
  if (options.error_log) return options.error_log(line);
  std::string text = "tabrix: " + std::string(line) + "\n";
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void ServerCore::Log(std::string_view line) {
  std::lock_guard lock(log_mutex_);
  if (options.access_log) return options.access_log(line);
  std::string text(line);
  text += '\n';
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

bool ServerCore::ShedIdlestLocked(const std::string* address_key,
                                  std::shared_ptr<Connection>& keep) {
  // A registered connection's members outlive its entry here: its
  // destructor waits for this lock to unregister. So they are read through
  // the key, and only the one chosen is locked.
  const Connection* idlest = nullptr;
  std::chrono::steady_clock::time_point idlest_since{};
  for (const auto& [connection, entry] : connections_) {
    if (address_key != nullptr && entry.address_key != *address_key) continue;
    std::chrono::steady_clock::time_point since;
    if (connection->shedding() || !connection->Idle(&since)) continue;
    if (idlest == nullptr || since < idlest_since) {
      idlest = connection;
      idlest_since = since;
    }
  }
  if (idlest == nullptr) return false;
  auto it = connections_.find(idlest);
  // Dropped after the lock: the last owner's destructor takes it.
  keep = it->second.connection.lock();
  if (!keep || !keep->MarkShedding()) return false;
  // A connection being shed no longer counts against the caps: it closes
  // at once on its strand.
  ++shedding_;
  if (--per_address_[it->second.address_key] == 0) per_address_.erase(it->second.address_key);
  keep->Shed();
  return true;
}

bool ServerCore::Admit(const std::string& address, const std::string& address_key) {
  std::shared_ptr<Connection> keep, keep_too;  // released after the lock
  std::lock_guard lock(connections_mutex_);
  std::size_t per_address_cap = options.max_connections_per_address;
  if (per_address_cap > 0 && !(options.uncapped_address && options.uncapped_address(address))) {
    auto it = per_address_.find(address_key);
    if (it != per_address_.end() && it->second >= per_address_cap &&
        !ShedIdlestLocked(&address_key, keep))
      return false;
  }
  if (options.max_connections > 0 && connections_.size() - shedding_ >= options.max_connections)
    return ShedIdlestLocked(nullptr, keep_too);
  return true;
}

bool ServerCore::ShedIdlest() {
  std::shared_ptr<Connection> keep;
  std::lock_guard lock(connections_mutex_);
  return ShedIdlestLocked(nullptr, keep);
}

void ServerCore::Register(const std::shared_ptr<Connection>& connection,
                          const std::string& address_key) {
  std::lock_guard lock(connections_mutex_);
  connections_[connection.get()] = Entry{connection, address_key};
  ++per_address_[address_key];
}

void ServerCore::Unregister(const Connection* connection) {
  std::lock_guard lock(connections_mutex_);
  auto it = connections_.find(connection);
  if (it == connections_.end()) return;
  if (connection->shedding()) {
    --shedding_;
  } else if (--per_address_[it->second.address_key] == 0) {
    per_address_.erase(it->second.address_key);
  }
  connections_.erase(it);
}

void ServerCore::NotShed(const Connection* connection) {
  std::lock_guard lock(connections_mutex_);
  auto it = connections_.find(connection);
  if (it == connections_.end()) return;
  --shedding_;
  ++per_address_[it->second.address_key];
}

void ServerCore::CloseIdleConnections() {
  std::vector<std::shared_ptr<Connection>> open;
  {
    std::lock_guard lock(connections_mutex_);
    for (auto& [key, entry] : connections_)
      if (auto connection = entry.connection.lock()) open.push_back(std::move(connection));
  }
  for (auto& connection : open) connection->CloseIfIdle();
}

}  // namespace http_internal

namespace {

// The answer to a connection there is no room for, written without reading
// its request: the socket is fresh, so the few bytes fit its send buffer.
void RefuseConnection(tcp::socket& socket) {
  static constexpr std::string_view kBusy =
      "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\n"
      "Content-Length: 20\r\nRetry-After: 5\r\nConnection: close\r\n\r\n"
      "Too many connections";
  boost::system::error_code ignored;
  socket.non_blocking(true, ignored);
  socket.write_some(net::buffer(kBusy.data(), kBusy.size()), ignored);
  socket.shutdown(tcp::socket::shutdown_both, ignored);
  socket.close(ignored);
}

std::string PeerAddress(const tcp::socket& socket) {
  boost::system::error_code error;
  tcp::endpoint peer = socket.remote_endpoint(error);
  return error ? std::string() : peer.address().to_string();
}

bool OutOfDescriptors(const boost::system::error_code& error) {
  return error == net::error::no_descriptors || error == boost::system::errc::too_many_files_open_in_system;
}

}  // namespace

struct HttpServer::State {
  State(HttpServerOptions options, HttpHandler& handler)
      : core(std::make_shared<ServerCore>(std::move(options), handler)),
        acceptor(net::make_strand(core->io)),
        retry_timer(acceptor.get_executor()) {
    spare_descriptor = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  }
  ~State() {
    if (spare_descriptor >= 0) ::close(spare_descriptor);
  }

  void Accept();
  void AcceptLater(std::chrono::milliseconds delay);
  // Out of descriptors: makes room by closing the idlest connection, else
  // gives the spare descriptor up for a moment to refuse one waiting
  // connection, so that clients are told rather than left hanging.
  void OnOutOfDescriptors();
  void CloseAcceptor();

  std::shared_ptr<ServerCore> core;
  tcp::acceptor acceptor;
  net::steady_timer retry_timer;  // after a failed accept (out of descriptors)
  int spare_descriptor = -1;  // used on the acceptor's strand only
  std::uint16_t port = 0;
  std::mutex mutex;  // guards started, io_threads, keep_running
  bool started = false;
  std::vector<std::thread> io_threads;
  // Held from Start until Stop has handed its last work to the io threads:
  // without it an accept that sees the stop coming can leave the io context
  // without work, its threads return, and what Stop posts is never run.
  std::optional<net::executor_work_guard<net::io_context::executor_type>> keep_running;
};

void HttpServer::State::Accept() {
  acceptor.async_accept(net::make_strand(core->io), [this](boost::system::error_code error,
                                                           tcp::socket socket) {
    if (core->stopping || !acceptor.is_open()) return;
    if (OutOfDescriptors(error)) return OnOutOfDescriptors();
    if (error) return AcceptLater(std::chrono::milliseconds(50));
    std::string address = PeerAddress(socket), key = AddressKey(address);
    if (!core->Admit(address, key)) {
      RefuseConnection(socket);
      return Accept();
    }
    auto connection = std::make_shared<Connection>(std::move(socket), core);
    core->Register(connection, key);
    connection->Start();
    Accept();
  });
}

void HttpServer::State::AcceptLater(std::chrono::milliseconds delay) {
  retry_timer.expires_after(delay);
  retry_timer.async_wait([this](boost::system::error_code e) {
    if (!e && !core->stopping && acceptor.is_open()) Accept();
  });
}

void HttpServer::State::OnOutOfDescriptors() {
  // The shed connection closes on its strand: accept again just after.
  if (core->ShedIdlest()) return AcceptLater(std::chrono::milliseconds(1));
  if (spare_descriptor >= 0) {
    ::close(spare_descriptor);
    spare_descriptor = -1;
    boost::system::error_code error;
    tcp::socket socket(core->io);
    acceptor.non_blocking(true, error);
    acceptor.accept(socket, error);
    if (!error) RefuseConnection(socket);
    spare_descriptor = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (!error) return Accept();
  }
  // Nothing to shed and no spare: wait for a connection to end.
  AcceptLater(std::chrono::milliseconds(50));
}

void HttpServer::State::CloseAcceptor() {
  boost::system::error_code ignored;
  acceptor.close(ignored);
  retry_timer.cancel();
}

HttpServer::HttpServer(HttpServerOptions options, HttpHandler& handler)
    : state_(std::make_shared<State>(std::move(options), handler)) {
  const HttpServerOptions& o = state_->core->options;
  std::string where = o.host + ":" + std::to_string(o.port);
  try {
    tcp::resolver resolver(state_->core->io);
    auto endpoints = resolver.resolve(o.host, std::to_string(o.port),
                                      tcp::resolver::numeric_service | tcp::resolver::passive);
    tcp::endpoint endpoint = endpoints.begin()->endpoint();
    tcp::acceptor& acceptor = state_->acceptor;
    acceptor.open(endpoint.protocol());
    acceptor.set_option(net::socket_base::reuse_address(true));
    acceptor.bind(endpoint);
    acceptor.listen(1024);
    state_->port = acceptor.local_endpoint().port();
  } catch (const boost::system::system_error& e) {
    throw std::runtime_error("cannot listen on " + where + ": " + e.code().message());
  }
}

HttpServer::~HttpServer() {
  Stop();
  Wait();
}

std::uint16_t HttpServer::port() const { return state_->port; }

void HttpServer::Start() {
  std::lock_guard lock(state_->mutex);
  if (state_->started) return;
  state_->started = true;
  const HttpServerOptions& o = state_->core->options;
  state_->core->workers.emplace(std::max<std::size_t>(1, o.workers));
  state_->keep_running.emplace(state_->core->io.get_executor());
  state_->Accept();
  for (std::size_t i = 0; i < std::max<std::size_t>(1, o.io_threads); ++i)
    state_->io_threads.emplace_back([core = state_->core] { core->io.run(); });
}

void HttpServer::Stop() {
  if (state_->core->stopping.exchange(true)) return;
  bool started;
  {
    std::lock_guard lock(state_->mutex);
    started = state_->started;
  }
  if (!started) {
    state_->CloseAcceptor();  // no thread runs: nothing else touches it
  } else if (state_->core->io.get_executor().running_in_this_thread()) {
    net::post(state_->acceptor.get_executor(), [state = state_] { state->CloseAcceptor(); });
  } else {
    // Closed on its strand; waiting makes "refuses new connections" hold
    // when Stop returns.
    std::promise<void> closed;
    net::post(state_->acceptor.get_executor(), [&closed, state = state_] {
      state->CloseAcceptor();
      closed.set_value();
    });
    closed.get_future().wait();
  }
  state_->core->CloseIdleConnections();
  std::lock_guard lock(state_->mutex);
  state_->keep_running.reset();
}

void HttpServer::Wait() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(state_->mutex);
    if (!state_->started) return;
    threads.swap(state_->io_threads);
  }
  for (std::thread& thread : threads) thread.join();
  if (state_->core->workers) state_->core->workers->join();
}

void HttpServer::Run() {
  Start();
  Wait();
}

}  // namespace tabrix::site
