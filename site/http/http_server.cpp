#include "site/http/http_server.h"

#include <cstdio>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

#include "site/http/http_connection.h"
#include "site/http/server_core.h"

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

// A header line break inside a name or value would let text a page took
// from a request start a header (or a body) of its own.
bool IsWritable(const HttpResponse& response) {
  if (response.status < 100 || response.status > 999) return false;
  for (const auto& [name, value] : response.headers) {
    constexpr std::string_view kNotInName(":\r\n\0 \t", 6);
    if (name.empty() || name.find_first_of(kNotInName) != std::string::npos) return false;
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) return false;
  }
  return true;
}

}  // namespace

HttpResponse ServerCore::Handle(const HttpRequest& request) {
  try {
    HttpResponse response = handler.Handle(request);
    return IsWritable(response) ? response : InternalError();
  } catch (...) {
    return InternalError();
  }
}

void ServerCore::Log(std::string_view line) {
  std::lock_guard lock(log_mutex_);
  if (options.access_log) return options.access_log(line);
  std::string text(line);
  text += '\n';
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void ServerCore::Register(const std::shared_ptr<Connection>& connection) {
  std::lock_guard lock(connections_mutex_);
  connections_[connection.get()] = connection;
}

void ServerCore::Unregister(const Connection* connection) {
  std::lock_guard lock(connections_mutex_);
  connections_.erase(connection);
}

void ServerCore::CloseIdleConnections() {
  std::vector<std::shared_ptr<Connection>> open;
  {
    std::lock_guard lock(connections_mutex_);
    for (auto& [key, weak] : connections_)
      if (auto connection = weak.lock()) open.push_back(std::move(connection));
  }
  for (auto& connection : open) connection->CloseIfIdle();
}

}  // namespace http_internal

struct HttpServer::State {
  State(HttpServerOptions options, HttpHandler& handler)
      : core(std::make_shared<ServerCore>(std::move(options), handler)),
        acceptor(net::make_strand(core->io)),
        retry_timer(acceptor.get_executor()) {}

  void Accept();
  void CloseAcceptor();

  std::shared_ptr<ServerCore> core;
  tcp::acceptor acceptor;
  net::steady_timer retry_timer;  // after a failed accept (out of descriptors)
  std::uint16_t port = 0;
  std::mutex mutex;  // guards started, io_threads
  bool started = false;
  std::vector<std::thread> io_threads;
};

void HttpServer::State::Accept() {
  acceptor.async_accept(net::make_strand(core->io), [this](boost::system::error_code error,
                                                           tcp::socket socket) {
    if (core->stopping || !acceptor.is_open()) return;
    if (error) {
      retry_timer.expires_after(std::chrono::milliseconds(50));
      retry_timer.async_wait([this](boost::system::error_code e) {
        if (!e) Accept();
      });
      return;
    }
    auto connection = std::make_shared<Connection>(std::move(socket), core);
    core->Register(connection);
    connection->Start();
    Accept();
  });
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
