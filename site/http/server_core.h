// What the listener and every connection of one HttpServer share (internal
// to http_server.cpp and http_connection.cpp): the options, the handler,
// the io_context the I/O threads run, the worker pool, the stop flag, the
// registry of open connections a stop walks, and the access log.
#pragma once

// GCC 12 in C++20 mode needs <utility> before Asio.
#include <utility>

#include <boost/asio.hpp>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "site/http/http_server.h"

namespace tabrix::site::http_internal {

class Connection;

struct ServerCore {
  ServerCore(HttpServerOptions options_in, HttpHandler& handler_in)
      : options(std::move(options_in)), handler(handler_in) {}

  // The handler's answer; an exception it should not have let out, or an
  // answer that cannot be written as it is (a line break or NUL in a
  // header, a status outside 100..999), becomes a 500, its cause logged.
  // Runs on a worker.
  HttpResponse Handle(const HttpRequest& request);
  // Writes one access-log line, one writer at a time.
  void Log(std::string_view line);
  // Writes one error-log line, one writer at a time.
  void LogError(std::string_view line);

  // Makes room for a new connection from `address` (counted by
  // `address_key`) under the caps, closing the idlest connection where one
  // is needed; false when there is no room (every connection busy).
  // Registers nothing.
  bool Admit(const std::string& address, const std::string& address_key);
  // Closes the connection idle longest, if any; whether one was asked to.
  bool ShedIdlest();
  void Register(const std::shared_ptr<Connection>& connection, const std::string& address_key);
  void Unregister(const Connection* connection);
  // A connection asked to close for room had become busy: it counts again.
  void NotShed(const Connection* connection);
  // Asks every open connection to close when it waits for a request.
  void CloseIdleConnections();

  const HttpServerOptions options;
  HttpHandler& handler;
  boost::asio::io_context io;
  // Created by Start; joined by Wait.
  std::optional<boost::asio::thread_pool> workers;
  std::atomic<bool> stopping{false};

 private:
  struct Entry {
    std::weak_ptr<Connection> connection;
    std::string address_key;
  };
  // Asks the idlest connection (of `address_key` only, unless null) not
  // already being shed to close; whether one was. `keep` holds it, to be
  // released after the lock.
  bool ShedIdlestLocked(const std::string* address_key, std::shared_ptr<Connection>& keep);

  std::mutex log_mutex_;
  std::mutex connections_mutex_;  // guards the members below
  std::unordered_map<const Connection*, Entry> connections_;
  std::unordered_map<std::string, std::size_t> per_address_;
  std::size_t shedding_ = 0;  // connections asked to close, not yet gone
};

}  // namespace tabrix::site::http_internal
