// HttpServer: HTTP/1.1 over TCP for one HttpHandler, on Boost.Beast.
//
// A few I/O threads accept connections and read and write them
// asynchronously; each complete, well-formed request is handed to a fixed
// pool of worker threads, which call the handler, and the response goes
// back to the I/O threads to be written. A slow or oversized client thus
// only ever holds a socket, never a worker: a request head must arrive
// within `head_timeout` of its first byte, its body within `body_timeout`,
// and an idle keep-alive connection is closed after `idle_timeout`.
//
// The server refuses what a handler must never see: a head over
// `max_header_bytes` (431), a body over `max_body_bytes` (413), and a
// malformed request (400): bad syntax, a missing or repeated Host, an
// unknown or conflicting Transfer-Encoding or Content-Length, a target that
// is not origin-form, a bad percent-escape or a NUL in the path. Each of
// those answers closes the connection. The server writes Content-Length and
// Date (unless the handler gave one) and the handler's headers as given; a
// HEAD request gets the headers alone (and Content-Length only when the
// handler gave the body a GET would get). A handler's answer with a line break
// or NUL in a header is not written: the client gets a 500 instead. Text
// answers over a kilobyte are gzip-coded for the clients that accept it
// (content_coding.h), on the worker that made them. It
// writes one access-log line per answered request, and one error-log line
// with the cause of every 500 it makes itself.
//
// Connections are capped (`max_connections` in all, and
// `max_connections_per_address` from one address, IPv6 per /64): at a cap
// the connection idle longest (waiting for its next request, none in
// progress or queued) is closed to make room; when none is idle the new
// connection gets a 503 and is closed. Running out of descriptors (EMFILE)
// is met the same way, a spare descriptor kept for the refusal, and the
// server accepts again once a descriptor frees. A client that half-closes
// its side after its request still gets the answer.
//
// Threads: Start, Stop, Wait and port() may be called from any thread.
// Stop is a clean stop: the listener closes, idle connections close, the
// requests being read or handled are answered (with "Connection: close"),
// and then Wait returns.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "site/http/http_message.h"

namespace tabrix::site {

struct HttpServerOptions {
  std::string host = "127.0.0.1";  // an address or a name to resolve
  std::uint16_t port = 8080;       // 0: any free port (see HttpServer::port)
  std::size_t io_threads = 1;
  std::size_t workers = 1;
  std::size_t max_header_bytes = 16 * 1024;
  std::uint64_t max_body_bytes = 1024 * 1024;
  // From a request's first byte to the end of its head.
  std::chrono::milliseconds head_timeout{10'000};
  // From the end of the head to the end of the body.
  std::chrono::milliseconds body_timeout{30'000};
  // A connection that waits for the first byte of its next request.
  std::chrono::milliseconds idle_timeout{60'000};
  // Writing one response (a client that stops reading).
  std::chrono::milliseconds write_timeout{60'000};
  // A streamed body (HttpResponse::stream): each piece must be written
  // within write_timeout, and the whole answer within this; past it the
  // connection closes and the stream is released.
  std::chrono::milliseconds stream_timeout{3'600'000};
  // Gzip-code answers for the clients that accept it (CompressForClient).
  bool compress = true;
  // Open connections at once; 0: no cap.
  std::size_t max_connections = 0;
  // Open connections from one address (IPv6: one /64); 0: no cap.
  std::size_t max_connections_per_address = 0;
  // Addresses the per-address cap does not apply to (the site's proxies).
  std::function<bool(const std::string& address)> uncapped_address;
  // Receives each access-log line (without its newline), from I/O threads,
  // one call at a time. Empty: the lines go to stderr.
  std::function<void(std::string_view line)> access_log;
  // Receives each error line (the cause of a 500), from any thread, one
  // call at a time. Empty: "tabrix: <line>" goes to stderr.
  std::function<void(std::string_view line)> error_log;
};

class HttpServer {
 public:
  // Binds and listens (backlog 1024) on options.host:options.port; no
  // thread runs yet. `handler` must outlive the server. Raises
  // std::runtime_error naming the address when it cannot listen.
  HttpServer(HttpServerOptions options, HttpHandler& handler);
  // Stops (as Stop) and waits.
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // The port listened on (the one chosen when 0 was asked).
  std::uint16_t port() const;

  // Starts the I/O threads and the workers, and returns. Call once.
  void Start();
  // Starts the clean stop described above and returns without waiting.
  // Later calls do nothing.
  void Stop();
  // Blocks until a stop has finished: every connection closed, every
  // thread joined. Returns at once when Start was never called.
  void Wait();
  // Start, then Wait.
  void Run();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace tabrix::site
