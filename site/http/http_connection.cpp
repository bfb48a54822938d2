#include "site/http/http_connection.h"

#include <poll.h>

#include <array>
#include <cctype>
#include <ctime>

#include "site/http/request_head.h"
#include "site/http/request_target.h"

namespace tabrix::site::http_internal {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

namespace {

// How long a closing connection keeps reading (and dropping) what the
// client still sends, so that its unread bytes do not turn our answer into
// a reset before the client has read it.
constexpr std::chrono::milliseconds kLinger{1000};

// Beast 1.74 hands out boost::string_view.
std::string_view Sv(beast::string_view text) { return {text.data(), text.size()}; }

bool EqualsNoCase(std::string_view a, std::string_view b) { return Lower(a) == Lower(b); }

// Whether the peer of socket `fd` is gone: the connection was reset, or
// shut both ways (a look that does not wait or read). A peer that only
// closed its sending side (POLLRDHUP) may still be reading the answer.
bool PeerGone(int fd) {
  pollfd look{fd, 0, 0};
  return ::poll(&look, 1, 0) > 0 && (look.revents & (POLLHUP | POLLERR)) != 0;
}

// "Sun, 06 Nov 1994 08:49:37 GMT", whatever the process's C locale.
std::string HttpDate(std::time_t now) {
  static constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed",
                                                       "Thu", "Fri", "Sat"};
  static constexpr std::array<const char*, 12> kMonths = {
      "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm tm{};
  gmtime_r(&now, &tm);
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[tm.tm_wday],
                tm.tm_mday, kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                tm.tm_sec);
  return text;
}

// "2024-05-01T12:00:00.123Z".
std::string IsoTimeUtc(std::chrono::system_clock::time_point now) {
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<int>(millis.count()));
  return text;
}

const char* ReasonText(int status) {
  switch (status) {
    case 400: return "Bad Request\n";
    case 413: return "Content Too Large\n";
    case 431: return "Request Header Fields Too Large\n";
    default: return "Error\n";
  }
}

}  // namespace

Connection::Connection(tcp::socket socket, std::shared_ptr<ServerCore> core)
    : stream_(std::move(socket)), core_(std::move(core)) {
  beast::error_code ignored;
  tcp::endpoint peer = stream_.socket().remote_endpoint(ignored);
  if (!ignored) remote_address_ = peer.address().to_string();
  stream_.socket().set_option(tcp::no_delay(true), ignored);
}

Connection::~Connection() { core_->Unregister(this); }

void Connection::Start() {
  net::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->WaitForRequest(); });
}

void Connection::CloseIfIdle() {
  net::post(stream_.get_executor(), [self = shared_from_this()] {
    if (self->idle_) self->Close();
  });
}

bool Connection::Idle(Clock::time_point* since) const {
  if (!idle_) return false;
  *since = Clock::time_point(Clock::duration(idle_since_.load()));
  return true;
}

void Connection::Shed() {
  net::post(stream_.get_executor(), [self = shared_from_this()] {
    if (self->idle_) return self->Close();
    self->shedding_ = false;
    self->core_->NotShed(self.get());
  });
}

void Connection::WaitForRequest() {
  method_ = "-";
  logged_target_ = "-";
  version_ = 11;
  head_only_ = false;
  keep_alive_ = false;
  if (core_->stopping) return Close();
  if (buffer_.size() > 0) {  // pipelined: the next request is here already
    started_ = Clock::now();
    return ReadHead();
  }
  // A buffer grown for a large request is not kept by a connection that waits.
  buffer_.shrink_to_fit();
  idle_since_ = Clock::now().time_since_epoch().count();
  idle_ = true;
  stream_.expires_after(core_->options.idle_timeout);
  stream_.async_read_some(buffer_.prepare(4096),
                          beast::bind_front_handler(&Connection::OnFirstBytes, shared_from_this()));
}

void Connection::OnFirstBytes(beast::error_code error, std::size_t bytes) {
  idle_ = false;
  if (error) return Close();
  buffer_.commit(bytes);
  started_ = Clock::now();
  ReadHead();
}

void Connection::ReadHead() {
  parser_.emplace();
  parser_->header_limit(static_cast<std::uint32_t>(core_->options.max_header_bytes));
  parser_->body_limit(core_->options.max_body_bytes);
  stream_.expires_after(core_->options.head_timeout);
  http::async_read_header(stream_, buffer_, *parser_,
                          beast::bind_front_handler(&Connection::OnHead, shared_from_this()));
}

std::optional<int> Connection::StatusForReadError(beast::error_code error) {
  if (error == http::error::header_limit) return 431;
  if (error == http::error::body_limit) return 413;
  if (error == http::error::end_of_stream || error == http::error::partial_message)
    return std::nullopt;
  if (error.category() == http::make_error_code(http::error::bad_target).category()) return 400;
  return std::nullopt;
}

void Connection::OnHead(beast::error_code error, std::size_t) {
  if (parser_->got_some()) {
    const auto& head = parser_->get();
    method_ = std::string(Sv(head.method_string()));
    logged_target_ = LoggedTarget(Sv(head.target()));
  }
  if (error) {
    std::optional<int> status = StatusForReadError(error);
    return status ? Refuse(*status) : Close();
  }
  if (int status = CheckHead(parser_->get()); status != 0) return Refuse(status);
  const auto& head = parser_->get();
  version_ = head.version();
  keep_alive_ = head.keep_alive();
  head_only_ = head.method() == http::verb::head;
  if (parser_->is_done()) return Dispatch();
  auto expect = head.find(http::field::expect);
  if (expect != head.end() && EqualsNoCase(Trim(Sv(expect->value())), "100-continue")) {
    // The client waits for this before it sends the body.
    static const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
    stream_.expires_after(core_->options.write_timeout);
    return net::async_write(stream_, net::buffer(kContinue),
                            [self = shared_from_this()](beast::error_code e, std::size_t) {
                              if (e) return self->Close();
                              self->ReadBody();
                            });
  }
  ReadBody();
}

void Connection::ReadBody() {
  stream_.expires_after(core_->options.body_timeout);
  http::async_read(stream_, buffer_, *parser_,
                   [self = shared_from_this()](beast::error_code error, std::size_t) {
                     self->OnBody(error);
                   });
}

void Connection::OnBody(beast::error_code error) {
  if (error) {
    std::optional<int> status = StatusForReadError(error);
    return status ? Refuse(*status) : Close();
  }
  Dispatch();
}

void Connection::Dispatch() {
  stream_.expires_never();
  auto message = parser_->release();
  parser_.reset();
  HttpRequest request;
  request.method = method_;
  request.target = std::string(Sv(message.target()));
  SplitTarget split = *ParseOriginTarget(request.target);  // CheckHead accepted it
  request.path = std::move(split.path);
  request.query = std::move(split.query);
  request.headers = HeaderFields(message);
  request.body = std::move(message.body());
  request.remote_address = remote_address_;
  // The guard keeps the I/O threads running while the worker has the request.
  net::post(*core_->workers, [self = shared_from_this(), request = std::move(request),
                              guard = net::make_work_guard(core_->io)]() mutable {
    // A page asked for by someone who has left (the connection reset) while
    // it waited for a worker is not made: under load the work would only
    // hold up those still waiting. A client that only half-closed is still
    // reading. What changes data is carried out all the same.
    bool reads_only = request.method == "GET" || request.method == "HEAD";
    if (reads_only && PeerGone(self->stream_.socket().native_handle())) {
      net::post(self->stream_.get_executor(), [self] { self->Close(); });
      return;
    }
    HttpResponse answer = self->core_->Handle(request);
    net::post(self->stream_.get_executor(),
              [self, answer = std::move(answer)]() mutable { self->Respond(std::move(answer)); });
  });
}

void Connection::Respond(HttpResponse answer) {
  bool close = answer.close || !keep_alive_ || core_->stopping;
  response_ = std::make_unique<Response>();
  Response& response = *response_;
  response.version(version_);
  response.result(static_cast<unsigned>(answer.status));
  bool has_date = false;
  for (auto& [name, value] : answer.headers) {
    // The server frames the message itself.
    if (EqualsNoCase(name, "content-length") || EqualsNoCase(name, "transfer-encoding") ||
        EqualsNoCase(name, "connection"))
      continue;
    if (EqualsNoCase(name, "date")) has_date = true;
    response.insert(name, value);
  }
  if (!has_date) response.set(http::field::date, HttpDate(std::time(nullptr)));
  bool bodiless = answer.status < 200 || answer.status == 204 || answer.status == 304;
  if (answer.stream) {
    if (!bodiless && !head_only_) return StartStream(std::move(answer.stream), close);
    // A HEAD answer, or one that has no body, never reads its stream.
    body_stream_ = std::move(answer.stream);
    ReleaseStream();
  }
  response.keep_alive(!close);
  std::size_t body_bytes = 0;
  if (!bodiless) {
    // A HEAD answer's length is the GET's; a handler that left the body out
    // (the site's pages do) gives no length, rather than a wrong one.
    if (!head_only_ || !answer.body.empty()) response.content_length(answer.body.size());
    if (!head_only_) {
      body_bytes = answer.body.size();
      response.body() = std::move(answer.body);
    }
  }
  Write(close, body_bytes);
}

void Connection::StartStream(std::shared_ptr<BodyStream> body, bool close) {
  // The head is the one Respond built, without a body: it moves into a
  // message that frames a body it does not hold.
  stream_head_ = std::make_unique<StreamHead>(std::move(response_->base()));
  response_.reset();
  body_stream_ = std::move(body);
  // An HTTP/1.0 client knows no chunks: its body ends where the connection does.
  stream_chunked_ = version_ >= 11;
  stream_close_ = close || !stream_chunked_;
  streamed_bytes_ = 0;
  stream_deadline_ = Clock::now() + core_->options.stream_timeout;
  stream_head_->keep_alive(!stream_close_);
  if (stream_chunked_) stream_head_->chunked(true);
  stream_head_writer_ = std::make_unique<StreamHeadWriter>(*stream_head_);
  stream_.expires_after(core_->options.write_timeout);
  http::async_write_header(stream_, *stream_head_writer_,
                           [self = shared_from_this()](beast::error_code error, std::size_t) {
                             if (error) {
                               self->ReleaseStream();
                               return self->Close();
                             }
                             self->ProducePiece();
                           });
}

void Connection::ProducePiece() {
  // A stop, or an answer past its time, ends the body unfinished.
  if (core_->stopping || Clock::now() >= stream_deadline_) {
    if (!core_->stopping)
      core_->LogError("a streamed answer to " + method_ + " " + logged_target_ +
                      " ran past the stream timeout and was cut");
    ReleaseStream();
    return Close();
  }
  stream_.expires_never();
  net::post(*core_->workers, [self = shared_from_this(), body = body_stream_,
                              guard = net::make_work_guard(core_->io)]() mutable {
    std::string piece;
    bool more = false;
    bool failed = false;
    try {
      more = body->Next(piece);
    } catch (const std::exception& e) {
      failed = true;
      self->core_->LogError("a streamed answer to " + self->method_ + " " +
                            self->logged_target_ + " failed: " + e.what());
    } catch (...) {
      failed = true;
      self->core_->LogError("a streamed answer to " + self->method_ + " " +
                            self->logged_target_ + " failed");
    }
    body.reset();
    net::post(self->stream_.get_executor(),
              [self, piece = std::move(piece), more, failed]() mutable {
                self->WritePiece(std::move(piece), more, failed);
              });
  });
}

void Connection::WritePiece(std::string piece, bool more, bool failed) {
  if (failed) {
    ReleaseStream();
    return Close();
  }
  streamed_bytes_ += piece.size();
  piece_.clear();
  if (stream_chunked_) {
    if (!piece.empty()) {
      char size[24];
      std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
      piece_ += size;
      piece_ += piece;
      piece_ += "\r\n";
    }
    if (!more) piece_ += "0\r\n\r\n";
  } else {
    piece_ = std::move(piece);
  }
  // The stream is no longer needed once its last piece is in hand.
  if (!more) ReleaseStream();
  stream_.expires_after(core_->options.write_timeout);
  net::async_write(stream_, net::buffer(piece_),
                   [self = shared_from_this(), more](beast::error_code error, std::size_t) {
                     self->OnPieceWritten(more, error);
                   });
}

void Connection::OnPieceWritten(bool more, beast::error_code error) {
  if (error) {
    // The client went away or stopped reading: the body ends here.
    ReleaseStream();
    return Close();
  }
  if (more) return ProducePiece();
  auto micros =
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started_).count();
  core_->Log(IsoTimeUtc(std::chrono::system_clock::now()) + " " + method_ + " " + logged_target_ +
             " " + std::to_string(stream_head_->result_int()) + " " +
             std::to_string(streamed_bytes_) + " " + std::to_string(micros));
  stream_head_writer_.reset();
  stream_head_.reset();
  piece_.clear();
  piece_.shrink_to_fit();
  if (stream_close_) return LingerAndClose();
  WaitForRequest();
}

void Connection::ReleaseStream() {
  if (!body_stream_) return;
  net::post(*core_->workers, [body = std::move(body_stream_)]() mutable { body.reset(); });
  body_stream_.reset();
}

void Connection::Refuse(int status) {
  response_ = std::make_unique<Response>();
  Response& response = *response_;
  response.version(11);
  response.result(static_cast<unsigned>(status));
  response.set(http::field::date, HttpDate(std::time(nullptr)));
  response.set(http::field::content_type, "text/plain; charset=utf-8");
  response.keep_alive(false);
  response.body() = ReasonText(status);
  response.prepare_payload();
  Write(true, response.body().size());
}

void Connection::Write(bool close, std::size_t body_bytes) {
  stream_.expires_after(core_->options.write_timeout);
  http::async_write(stream_, *response_,
                    [self = shared_from_this(), close, body_bytes](beast::error_code error,
                                                                   std::size_t) {
                      self->OnWritten(close, body_bytes, error);
                    });
}

void Connection::OnWritten(bool close, std::size_t body_bytes, beast::error_code error) {
  auto micros =
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started_).count();
  core_->Log(IsoTimeUtc(std::chrono::system_clock::now()) + " " + method_ + " " + logged_target_ +
             " " + std::to_string(response_->result_int()) + " " + std::to_string(body_bytes) +
             " " + std::to_string(micros));
  response_.reset();
  if (error) return Close();
  if (close) return LingerAndClose();
  WaitForRequest();
}

void Connection::LingerAndClose() {
  beast::error_code ignored;
  stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
  stream_.expires_after(kLinger);
  Drain({}, 0);
}

void Connection::Drain(beast::error_code error, std::size_t) {
  if (error) return Close();  // the client's end of stream, or the linger's end
  buffer_.clear();
  stream_.async_read_some(buffer_.prepare(16384),
                          beast::bind_front_handler(&Connection::Drain, shared_from_this()));
}

void Connection::Close() {
  idle_ = false;
  beast::error_code ignored;
  stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
  stream_.close();
}

}  // namespace tabrix::site::http_internal
