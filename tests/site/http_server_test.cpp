// HttpServer over real sockets on 127.0.0.1: what a handler is given, the
// framing of its answer, keep-alive and HEAD, the refusals of malformed,
// oversized and slow requests (each closing the connection), the access
// log, the worker pool, and the clean stop.
#include "site/http/http_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/gunzip.h"
#include "support/http_test_client.h"

namespace tabrix::site {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using testing::Exchange;
using testing::HttpReply;
using testing::HttpTestConnection;
using testing::MakeRequest;

// The text "/page" answers: HTML well over a kilobyte.
std::string PageText() {
  std::string html = "<table>\n";
  for (int row = 0; row < 200; ++row)
    html += "<tr><td>" + std::to_string(row) + "</td><td>row " + std::to_string(row * 37) +
            "</td></tr>\n";
  return html + "</table>\n";
}

// A streamed body of `pieces` numbered lines, one per piece ("endless"
// when 0); counts the pieces asked for and tells when it is released.
struct StreamEvents {
  std::mutex mutex;
  std::condition_variable changed;
  int asked = 0;
  int released = 0;
  bool WaitReleased(int count) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, 10s, [&] { return released >= count; });
  }
};

class NumberedLines : public BodyStream {
 public:
  NumberedLines(int pieces, std::shared_ptr<StreamEvents> events)
      : pieces_(pieces), events_(std::move(events)) {}
  ~NumberedLines() override {
    std::lock_guard lock(events_->mutex);
    ++events_->released;
    events_->changed.notify_all();
  }
  bool Next(std::string& out) override {
    {
      std::lock_guard lock(events_->mutex);
      ++events_->asked;
    }
    out = StreamLine(next_++);
    return pieces_ == 0 || next_ < pieces_;
  }
  // Line n: its number and enough filler to make pieces of some size.
  static std::string StreamLine(int n) { return std::to_string(n) + std::string(1000, '.') + "\n"; }

 private:
  int pieces_;
  int next_ = 0;
  std::shared_ptr<StreamEvents> events_;
};

// Answers by path and keeps every request it was given. "/block" waits
// (at most 10 s) until the test releases it.
class TestHandler : public HttpHandler {
 public:
  HttpResponse Handle(const HttpRequest& request) override {
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    HttpResponse response;
    response.SetHeader("Content-Type", "text/plain; charset=utf-8");
    if (request.path == "/hello") {
      response.AddHeader("X-Answer", "as  written");
      response.body = "hello";
    } else if (request.path == "/block") {
      std::unique_lock lock(mutex_);
      ++blocked_;
      changed_.notify_all();
      changed_.wait_for(lock, 10s, [&] { return released_; });
      response.body = "released";
    } else if (request.path == "/framing") {
      response.AddHeader("Content-Length", "999");
      response.AddHeader("Date", "Tue, 01 Jan 2002 00:00:00 GMT");
      response.body = "abc";
    } else if (request.path == "/page") {
      // As the site's pages do, a HEAD answer leaves the body out.
      response.SetHeader("Content-Type", "text/html; charset=utf-8");
      if (request.method != "HEAD") response.body = PageText();
    } else if (request.path == "/stream" || request.path == "/endless") {
      response.stream = std::make_shared<NumberedLines>(request.path == "/stream" ? 3000 : 0, events);
    } else if (request.path == "/nocontent") {
      response.status = 204;
    } else if (request.path == "/close") {
      response.close = true;
      response.body = "bye";
    } else if (request.path == "/throw") {
      throw std::runtime_error("a fault the handler let out");
    } else if (request.path == "/throw-other") {
      throw 42;  // no std::exception
    } else if (request.path == "/split") {
      response.AddHeader("Location", "/x\r\nSet-Cookie: stolen=1");
    } else if (request.path == "/bad-status") {
      response.status = 42;
    } else {
      response.body = request.path;
    }
    return response;
  }

  std::shared_ptr<StreamEvents> events = std::make_shared<StreamEvents>();

  bool WaitBlocked(int count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [&] { return blocked_ >= count; });
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  std::optional<HttpRequest> Last() {
    std::lock_guard lock(mutex_);
    if (requests_.empty()) return std::nullopt;
    return requests_.back();
  }
  size_t Count() {
    std::lock_guard lock(mutex_);
    return requests_.size();
  }
  std::string PathAt(size_t index) {
    std::lock_guard lock(mutex_);
    return requests_.at(index).path;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<HttpRequest> requests_;
  int blocked_ = 0;
  bool released_ = false;
};

class HttpServerTest : public ::testing::Test {
 protected:
  // A server on 127.0.0.1 with a free port, small limits and short timeouts
  // (changed by `adjust`).
  void StartServer(std::size_t workers = 2,
                   const std::function<void(HttpServerOptions&)>& adjust = {}) {
    HttpServerOptions options;
    options.host = "127.0.0.1";
    options.port = 0;
    options.io_threads = 1;
    options.workers = workers;
    options.max_body_bytes = 1024;
    options.head_timeout = 300ms;
    options.body_timeout = 300ms;
    options.idle_timeout = 300ms;
    options.access_log = [this](std::string_view line) {
      std::lock_guard lock(log_mutex_);
      log_.emplace_back(line);
      log_changed_.notify_all();
    };
    options.error_log = [this](std::string_view line) {
      std::lock_guard lock(log_mutex_);
      errors_.emplace_back(line);
    };
    if (adjust) adjust(options);
    server_.emplace(options, handler_);
    server_->Start();
  }
  void TearDown() override {
    handler_.Release();
    server_.reset();
  }

  std::uint16_t port() const { return server_->port(); }

  // The access log once it holds `count` lines (waits at most 10 s).
  std::vector<std::string> WaitForLog(size_t count) {
    std::unique_lock lock(log_mutex_);
    log_changed_.wait_for(lock, 10s, [&] { return log_.size() >= count; });
    return log_;
  }

  TestHandler handler_;
  std::optional<HttpServer> server_;
  std::mutex log_mutex_;
  std::condition_variable log_changed_;
  std::vector<std::string> log_;
  std::vector<std::string> errors_;
};

TEST_F(HttpServerTest, HandsTheHandlerTheRequestItsPartsDecoded) {
  StartServer();
  auto reply = Exchange(port(), "POST /a%20b/c+d?x=1&y=%41 HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                "X-Custom:   spaced value  \r\nContent-Length: 4\r\n\r\nbody");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  std::optional<HttpRequest> seen = handler_.Last();
  ASSERT_TRUE(seen);
  EXPECT_EQ(seen->method, "POST");
  EXPECT_EQ(seen->target, "/a%20b/c+d?x=1&y=%41");
  EXPECT_EQ(seen->path, "/a b/c+d");
  EXPECT_EQ(seen->query, "x=1&y=%41");
  EXPECT_EQ(seen->Header("X-CUSTOM"), "spaced value");
  EXPECT_EQ(seen->Header("host"), "127.0.0.1");
  for (const auto& [name, value] : seen->headers)
    EXPECT_EQ(name.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos)
        << name << ": header names reach the handler in lower case";
  EXPECT_EQ(seen->body, "body");
  EXPECT_EQ(seen->remote_address, "127.0.0.1");
}

TEST_F(HttpServerTest, WritesTheHandlersHeadersAndFramesTheBodyItself) {
  StartServer();
  auto hello = Exchange(port(), MakeRequest("GET", "/hello"));
  ASSERT_TRUE(hello);
  EXPECT_EQ(hello->body, "hello");
  EXPECT_EQ(hello->Header("x-answer"), "as  written");
  EXPECT_EQ(hello->Header("content-type"), "text/plain; charset=utf-8");
  EXPECT_EQ(hello->Header("content-length"), "5");
  ASSERT_TRUE(hello->Header("date"));
  EXPECT_TRUE(std::regex_match(*hello->Header("date"),
                               std::regex("[A-Z][a-z]{2}, \\d\\d [A-Z][a-z]{2} \\d{4} "
                                          "\\d\\d:\\d\\d:\\d\\d GMT")))
      << *hello->Header("date");

  // The handler's own length is not trusted; its own date is kept.
  HttpTestConnection connection(port());
  connection.Send(MakeRequest("GET", "/framing") + MakeRequest("GET", "/nocontent") +
                  MakeRequest("GET", "/hello"));
  auto framing = connection.ReadReply();
  ASSERT_TRUE(framing);
  EXPECT_EQ(framing->Header("content-length"), "3");
  EXPECT_EQ(framing->body, "abc");
  EXPECT_EQ(framing->Header("date"), "Tue, 01 Jan 2002 00:00:00 GMT");
  auto no_content = connection.ReadReply();
  ASSERT_TRUE(no_content);
  EXPECT_EQ(no_content->status, 204);
  EXPECT_FALSE(no_content->Header("content-length"));
  auto after = connection.ReadReply();
  ASSERT_TRUE(after);
  EXPECT_EQ(after->body, "hello");
}

TEST_F(HttpServerTest, KeepsTheConnectionOpenForTheNextRequest) {
  StartServer();
  HttpTestConnection connection(port());
  ASSERT_TRUE(connection.connected());
  for (const char* path : {"/one", "/two", "/three"}) {
    connection.Send(MakeRequest("GET", path));
    auto reply = connection.ReadReply();
    ASSERT_TRUE(reply) << path;
    EXPECT_EQ(reply->body, path);
    EXPECT_NE(reply->Header("connection"), "close");
  }
  // Pipelined: two requests in one write, answered in order.
  connection.Send(MakeRequest("POST", "/four", {}, "xy") + MakeRequest("GET", "/five"));
  auto four = connection.ReadReply();
  auto five = connection.ReadReply();
  ASSERT_TRUE(four && five);
  EXPECT_EQ(four->body, "/four");
  EXPECT_EQ(five->body, "/five");

  // A handler's close, "Connection: close" and HTTP/1.0 end the connection.
  struct Case {
    const char* request;
  };
  const Case closing[] = {
      {"GET /close HTTP/1.1\r\nHost: a\r\n\r\n"},
      {"GET /x HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n"},
      {"GET /x HTTP/1.0\r\n\r\n"},
  };
  for (const Case& c : closing) {
    SCOPED_TRACE(c.request);
    HttpTestConnection one(port());
    one.Send(c.request);
    auto reply = one.ReadReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_TRUE(one.WaitClosed());
  }
  // HTTP/1.0 asking to keep the connection keeps it.
  HttpTestConnection old(port());
  old.Send("GET /x HTTP/1.0\r\nConnection: keep-alive\r\n\r\n");
  ASSERT_TRUE(old.ReadReply());
  old.Send("GET /y HTTP/1.0\r\nConnection: keep-alive\r\n\r\n");
  auto second = old.ReadReply();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->body, "/y");
}

TEST_F(HttpServerTest, HeadGetsTheHeadersOfGetWithoutTheBody) {
  StartServer();
  HttpTestConnection connection(port());
  connection.Send(MakeRequest("HEAD", "/hello"));
  auto head = connection.ReadReply(/*head_only=*/true);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->status, 200);
  EXPECT_EQ(head->Header("content-length"), "5");
  // Had a body been sent, it would be read here as the next status line.
  connection.Send(MakeRequest("GET", "/next"));
  auto next = connection.ReadReply();
  ASSERT_TRUE(next);
  EXPECT_EQ(next->status, 200);
  EXPECT_EQ(next->body, "/next");
}

// A streamed body of some megabytes comes whole and in order, in chunks to
// an HTTP/1.1 client (which keeps its connection) and up to the close to an
// HTTP/1.0 one; a HEAD answer never reads its stream. Every stream is
// released once answered.
TEST_F(HttpServerTest, AStreamedBodyArrivesWholeAndInOrder) {
  StartServer();
  std::string expected;
  for (int n = 0; n < 3000; ++n) expected += NumberedLines::StreamLine(n);

  HttpTestConnection connection(port());
  connection.Send(MakeRequest("GET", "/stream"));
  std::optional<HttpReply> reply = connection.ReadReply();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  EXPECT_TRUE(reply->chunked);
  EXPECT_FALSE(reply->Header("content-length"));
  EXPECT_TRUE(reply->body == expected) << reply->body.size() << " bytes of " << expected.size();
  connection.Send(MakeRequest("GET", "/after"));
  reply = connection.ReadReply();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->body, "/after");

  HttpTestConnection old(port());
  old.Send("GET /stream HTTP/1.0\r\n\r\n");
  std::string rest;
  EXPECT_TRUE(old.WaitClosed(10s, &rest));
  size_t head_end = rest.find("\r\n\r\n");
  ASSERT_NE(head_end, std::string::npos);
  EXPECT_EQ(rest.find("chunked"), std::string::npos);
  EXPECT_TRUE(rest.substr(head_end + 4) == expected);

  HttpTestConnection head(port());
  head.Send(MakeRequest("HEAD", "/stream"));
  reply = head.ReadReply(true);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  head.Send(MakeRequest("GET", "/after-head"));
  reply = head.ReadReply();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->body, "/after-head");

  EXPECT_TRUE(handler_.events->WaitReleased(3));
  std::lock_guard lock(handler_.events->mutex);
  EXPECT_EQ(handler_.events->asked, 2 * 3000);  // none for HEAD
  EXPECT_EQ(WaitForLog(3).size() >= 3, true);
}

// A client that goes away in the middle of an endless body, and one that
// stops reading, each end the stream: it is released, and the server goes
// on answering.
TEST_F(HttpServerTest, AStreamWhoseClientLeavesOrStallsIsReleased) {
  StartServer(2, [](HttpServerOptions& options) { options.write_timeout = 300ms; });
  {
    HttpTestConnection leaving(port());
    leaving.Send(MakeRequest("GET", "/endless"));
    ASSERT_TRUE(leaving.ReadReply(true));  // the head, and the body under way
    leaving.Reset();
  }
  EXPECT_TRUE(handler_.events->WaitReleased(1));

  HttpTestConnection stalled(port());
  stalled.Send(MakeRequest("GET", "/endless"));  // and never read
  EXPECT_TRUE(handler_.events->WaitReleased(2));

  std::optional<HttpReply> reply = Exchange(port(), MakeRequest("GET", "/hello"));
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->body, "hello");
}

TEST_F(HttpServerTest, MalformedRequestsGet400AndAClosedConnection) {
  StartServer();
  const std::string body_head = "POST /p HTTP/1.1\r\nHost: a\r\n";
  struct Case {
    const char* id;
    std::string request;
  };
  const Case cases[] = {
      {"host-missing", "GET / HTTP/1.1\r\n\r\n"},
      {"host-repeated", "GET / HTTP/1.1\r\nHost: a\r\nHost: a\r\n\r\n"},
      {"host-empty", "GET / HTTP/1.1\r\nHost:\r\n\r\n"},
      {"host-bad", "GET / HTTP/1.1\r\nHost: a b/c\r\n\r\n"},
      {"host-bad-port", "GET / HTTP/1.1\r\nHost: a:8x\r\n\r\n"},
      {"te-unknown", body_head + "Transfer-Encoding: gzip\r\n\r\n"},
      {"te-not-last", body_head + "Transfer-Encoding: chunked, gzip\r\n\r\n"},
      {"te-gzip-chunked", body_head + "Transfer-Encoding: gzip, chunked\r\n\r\n0\r\n\r\n"},
      {"te-twice", body_head + "Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n\r\n"},
      {"te-and-length",
       body_head + "Transfer-Encoding: chunked\r\nContent-Length: 5\r\n\r\n0\r\n\r\n"},
      {"te-in-http10", "POST /p HTTP/1.0\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n"},
      {"length-conflict", body_head + "Content-Length: 3\r\nContent-Length: 4\r\n\r\nabcd"},
      {"length-repeated", body_head + "Content-Length: 3\r\nContent-Length: 3\r\n\r\nabc"},
      {"length-list", body_head + "Content-Length: 3, 3\r\n\r\nabc"},
      {"length-negative", body_head + "Content-Length: -1\r\n\r\n"},
      {"length-text", body_head + "Content-Length: abc\r\n\r\n"},
      {"chunk-size-bad", body_head + "Transfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n"},
      {"header-no-colon", "GET / HTTP/1.1\r\nHost: a\r\nNoColon\r\n\r\n"},
      {"header-space-before-colon", "GET / HTTP/1.1\r\nHost : a\r\n\r\n"},
      {"header-name-empty", "GET / HTTP/1.1\r\nHost: a\r\n: v\r\n\r\n"},
      {"header-nul", "GET / HTTP/1.1\r\nHost: a\r\nX-A: a\0b\r\n\r\n"s},
      {"header-bare-cr", "GET / HTTP/1.1\r\nHost: a\r\nX-A: a\rb\r\n\r\n"},
      {"path-nul", "GET /a%00b HTTP/1.1\r\nHost: a\r\n\r\n"},
      {"path-bad-escape", "GET /a%zz HTTP/1.1\r\nHost: a\r\n\r\n"},
      {"path-short-escape", "GET /a%4 HTTP/1.1\r\nHost: a\r\n\r\n"},
      {"path-raw-nul", "GET /a\0b HTTP/1.1\r\nHost: a\r\n\r\n"s},
      {"path-space", "GET /a b HTTP/1.1\r\nHost: a\r\n\r\n"},
      {"target-absolute", "GET http://a/x HTTP/1.1\r\nHost: a\r\n\r\n"},
      {"target-asterisk", "OPTIONS * HTTP/1.1\r\nHost: a\r\n\r\n"},
      {"target-authority", "CONNECT a:443 HTTP/1.1\r\nHost: a\r\n\r\n"},
      {"target-fragment", "GET /a#b HTTP/1.1\r\nHost: a\r\n\r\n"},
      {"line-no-version", "GET /\r\nHost: a\r\n\r\n"},
      {"line-bad-version", "GET / HTTP/1.x\r\nHost: a\r\n\r\n"},
      {"line-version-2", "GET / HTTP/2.0\r\nHost: a\r\n\r\n"},
      {"line-version-09", "GET / HTTP/0.9\r\nHost: a\r\n\r\n"},
      {"line-no-method", " / HTTP/1.1\r\nHost: a\r\n\r\n"},
      {"line-garbage", "\x01\x02\x03\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    HttpTestConnection connection(port());
    ASSERT_TRUE(connection.connected());
    connection.Send(c.request);
    auto reply = connection.ReadReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 400);
    EXPECT_EQ(reply->Header("connection"), "close");
    EXPECT_TRUE(connection.WaitClosed());
  }
  EXPECT_EQ(handler_.Count(), 0u) << "a malformed request reached the handler";
}

TEST_F(HttpServerTest, AcceptsTheWellFormedEdgesOfTheSameRules) {
  StartServer();
  struct Case {
    const char* id;
    std::string request;
    std::string body;
  };
  const Case cases[] = {
      {"http10-without-host", "GET /x HTTP/1.0\r\n\r\n", ""},
      {"host-with-port", "GET /x HTTP/1.1\r\nHost: example.com:8080\r\n\r\n", ""},
      {"host-ipv6", "GET /x HTTP/1.1\r\nHost: [::1]:80\r\n\r\n", ""},
      {"chunked", "POST /x HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: Chunked\r\n\r\n"
                  "3\r\nabc\r\n2;ext=1\r\nde\r\n0\r\n\r\n", "abcde"},
      {"header-case", "GET /x HTTP/1.1\r\nhOsT: a\r\n\r\n", ""},
      // A folded header line is unfolded into one value.
      {"header-obs-fold", "GET /x HTTP/1.1\r\nHost: a\r\nX-A: one\r\n two\r\n\r\n", ""},
      {"path-escapes", "GET /%C3%A9%2f HTTP/1.1\r\nHost: a\r\n\r\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    auto reply = Exchange(port(), c.request);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    std::optional<HttpRequest> seen = handler_.Last();
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->body, c.body);
    if (std::string(c.id) == "header-obs-fold") {
      EXPECT_EQ(seen->Header("x-a"), "one two");
    }
  }
  EXPECT_EQ(handler_.Last()->path, "/\xC3\xA9/");
}

TEST_F(HttpServerTest, OversizedHeadsAndBodiesAreRefusedAndClosed) {
  StartServer();
  // Just under 16 KiB of head passes; just over is 431.
  auto head_of = [](size_t filler) {
    return "GET /big HTTP/1.1\r\nHost: a\r\nX-Filler: " + std::string(filler, 'x') + "\r\n\r\n";
  };
  std::string fits = head_of(16 * 1024 - 100);
  ASSERT_LE(fits.size(), 16u * 1024);
  auto ok = Exchange(port(), fits);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->status, 200);
  {
    HttpTestConnection connection(port());
    connection.Send(head_of(16 * 1024));
    auto reply = connection.ReadReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 431);
    EXPECT_TRUE(connection.WaitClosed());
  }
  // The test server's limit is 1024 body bytes: exactly that passes.
  auto at_limit = Exchange(port(), MakeRequest("POST", "/body", {}, std::string(1024, 'b')));
  ASSERT_TRUE(at_limit);
  EXPECT_EQ(at_limit->status, 200);
  const std::string too_large[] = {
      // Refused from the head alone, before any of the body comes.
      "POST /body HTTP/1.1\r\nHost: a\r\nContent-Length: 1025\r\n\r\n",
      "POST /body HTTP/1.1\r\nHost: a\r\nContent-Length: 99999999999999999\r\n\r\n",
      "POST /body HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n400\r\n" +
          std::string(1024, 'c') + "\r\n1\r\nc\r\n0\r\n\r\n",
  };
  for (const std::string& request : too_large) {
    SCOPED_TRACE(request.substr(0, 70));
    HttpTestConnection connection(port());
    connection.Send(request);
    auto reply = connection.ReadReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 413);
    EXPECT_TRUE(connection.WaitClosed());
  }
}

TEST_F(HttpServerTest, AnsweredLargeBodiesArriveWhole) {
  StartServer();
  // "100-continue": the server invites the body, then answers.
  HttpTestConnection connection(port());
  connection.Send("POST /c HTTP/1.1\r\nHost: a\r\nExpect: 100-continue\r\nContent-Length: 3\r\n\r\n");
  auto interim = connection.ReadReply();
  ASSERT_TRUE(interim);
  EXPECT_EQ(interim->status, 100);
  connection.Send("abc");
  auto reply = connection.ReadReply();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  EXPECT_EQ(handler_.Last()->body, "abc");
}

TEST_F(HttpServerTest, SlowAndIdleConnectionsAreClosedWithoutAnAnswer) {
  StartServer();
  struct Case {
    const char* id;
    std::string sent;
  };
  const Case cases[] = {
      {"nothing-sent", ""},
      {"part-of-a-head", "GET / HTTP/1.1\r\nHo"},
      {"part-of-a-body", "POST /p HTTP/1.1\r\nHost: a\r\nContent-Length: 10\r\n\r\nabc"},
      {"part-of-a-chunked-body",
       "POST /p HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    HttpTestConnection connection(port());
    if (!c.sent.empty()) connection.Send(c.sent);
    std::string rest;
    EXPECT_TRUE(connection.WaitClosed(10s, &rest));
    EXPECT_EQ(rest, "");
  }
  // A keep-alive connection that goes quiet after an answer.
  HttpTestConnection quiet(port());
  quiet.Send(MakeRequest("GET", "/once"));
  ASSERT_TRUE(quiet.ReadReply());
  EXPECT_TRUE(quiet.WaitClosed(10s));
  EXPECT_EQ(handler_.Count(), 1u);
}

TEST_F(HttpServerTest, AWorkerHandlesARequestWhileTheIoThreadServesOthers) {
  StartServer(/*workers=*/2);
  HttpTestConnection blocked(port());
  blocked.Send(MakeRequest("GET", "/block"));
  ASSERT_TRUE(handler_.WaitBlocked(1));
  // The one I/O thread still accepts, reads and answers through the other worker.
  auto other = Exchange(port(), MakeRequest("GET", "/hello"));
  ASSERT_TRUE(other);
  EXPECT_EQ(other->body, "hello");
  handler_.Release();
  auto released = blocked.ReadReply();
  ASSERT_TRUE(released);
  EXPECT_EQ(released->body, "released");
}

TEST_F(HttpServerTest, AReadWhoseVisitorLeftWhileItWaitedIsNotMadeAWriteIs) {
  StartServer(/*workers=*/1);
  HttpTestConnection blocked(port());
  blocked.Send(MakeRequest("GET", "/block"));
  ASSERT_TRUE(handler_.WaitBlocked(1));
  {
    HttpTestConnection left_get(port()), left_post(port());
    left_get.Send(MakeRequest("GET", "/left-get"));
    left_post.Send(MakeRequest("POST", "/left-post", {}, "a=1"));
    // The I/O thread reads both and queues them behind the blocked worker
    // before their visitors give up.
    std::this_thread::sleep_for(200ms);
    left_get.Reset();
    left_post.Reset();
  }
  std::this_thread::sleep_for(100ms);
  handler_.Release();
  ASSERT_TRUE(blocked.ReadReply());
  auto after = Exchange(port(), MakeRequest("GET", "/hello"));  // queued after both
  ASSERT_TRUE(after);
  EXPECT_EQ(after->body, "hello");
  std::vector<std::string> handled;
  for (size_t i = 0; i < handler_.Count(); ++i) handled.push_back(handler_.PathAt(i));
  EXPECT_EQ(handled, (std::vector<std::string>{"/block", "/left-post", "/hello"}));
}

TEST_F(HttpServerTest, AClientThatHalfClosesAfterItsRequestStillGetsTheAnswer) {
  StartServer();
  for (const char* method : {"GET", "HEAD", "POST"}) {
    HttpTestConnection connection(port());
    connection.Send(std::string(method) == "POST" ? MakeRequest(method, "/hello", {}, "a=1")
                                                  : MakeRequest(method, "/hello"));
    connection.ShutdownSending();
    auto reply = connection.ReadReply(/*head_only=*/std::string(method) == "HEAD");
    ASSERT_TRUE(reply) << method;
    EXPECT_EQ(reply->status, 200) << method;
    EXPECT_TRUE(connection.WaitClosed()) << method << ": then the server closes";
  }
}

TEST_F(HttpServerTest, TextOverAKilobyteIsGzipCodedForClientsThatAcceptIt) {
  StartServer();
  // One keep-alive connection: an answer framed wrongly would spoil the
  // reading of the next.
  HttpTestConnection connection(port());
  struct Case {
    const char* method;
    const char* path;
    const char* accept;  // "" for none
    bool coded;
  } cases[] = {
      {"GET", "/page", "gzip, deflate, br", true},
      {"GET", "/page", "", false},
      {"GET", "/page", "gzip;q=0, identity", false},
      {"HEAD", "/page", "gzip", false},
      {"GET", "/hello", "gzip", false},  // too small to gain
      {"GET", "/page", "*", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.path + " " + c.accept);
    std::vector<std::string> headers;
    if (*c.accept) headers.push_back(std::string("Accept-Encoding: ") + c.accept);
    bool head = std::string(c.method) == "HEAD";
    ASSERT_TRUE(connection.Send(MakeRequest(c.method, c.path, headers)));
    auto reply = connection.ReadReply(head);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    std::string plain = std::string(c.path) == "/page" ? PageText() : "hello";
    if (c.coded) {
      EXPECT_EQ(reply->Header("content-encoding").value_or(""), "gzip");
      EXPECT_EQ(reply->Header("content-length"), std::to_string(reply->body.size()));
      EXPECT_LT(reply->body.size(), plain.size() / 2);
      EXPECT_EQ(testing::Gunzip(reply->body).value_or("(not gzip)"), plain);
    } else {
      EXPECT_FALSE(reply->Header("content-encoding"));
      EXPECT_EQ(reply->body, head ? "" : plain);
      // No length at all rather than that of the empty body.
      if (head) {
        EXPECT_FALSE(reply->Header("content-length"));
      }
    }
    // The coded and the plain answer vary by the request's Accept-Encoding.
    bool varies = !head && std::string(c.path) == "/page";
    EXPECT_EQ(reply->Header("vary").value_or(""), varies ? "Accept-Encoding" : "");
  }
}

TEST_F(HttpServerTest, Every500IsLoggedWithItsCause) {
  StartServer();
  const std::pair<const char*, const char*> cases[] = {
      {"/throw", "a fault the handler let out"},
      {"/throw-other", "unknown type"},
      {"/split", "header Location holds a line break"},
      {"/bad-status", "status 42"},
  };
  for (const auto& [path, cause] : cases) {
    auto reply = Exchange(port(), MakeRequest("GET", path));
    ASSERT_TRUE(reply) << path;
    EXPECT_EQ(reply->status, 500) << path;
    std::lock_guard lock(log_mutex_);
    ASSERT_FALSE(errors_.empty()) << path;
    EXPECT_NE(errors_.back().find(path), std::string::npos) << errors_.back();
    EXPECT_NE(errors_.back().find(cause), std::string::npos) << errors_.back();
  }
  std::lock_guard lock(log_mutex_);
  EXPECT_EQ(errors_.size(), 4u);
}

class ConnectionCapTest : public HttpServerTest {
 protected:
  // At a cap of three (in all or per address): three connections made idle
  // one after another, then a fourth. The first, idle longest, makes room;
  // when all three have requests in progress or queued, a fifth is refused.
  void CheckTheCap(std::size_t total, std::size_t per_address) {
    StartServer(/*workers=*/2, [&](HttpServerOptions& options) {
      options.max_connections = total;
      options.max_connections_per_address = per_address;
      options.idle_timeout = 60s;
    });
    std::vector<std::unique_ptr<HttpTestConnection>> open;
    for (int i = 0; i < 3; ++i) {
      open.push_back(std::make_unique<HttpTestConnection>(port()));
      open.back()->Send(MakeRequest("GET", "/hello"));
      ASSERT_TRUE(open.back()->ReadReply());
    }
    HttpTestConnection fourth(port());
    fourth.Send(MakeRequest("GET", "/hello"));
    auto answered = fourth.ReadReply();
    ASSERT_TRUE(answered);
    EXPECT_EQ(answered->body, "hello");
    EXPECT_TRUE(open[0]->WaitClosed(5s)) << "the idlest connection makes room";

    for (HttpTestConnection* busy : {open[1].get(), open[2].get(), &fourth})
      busy->Send(MakeRequest("GET", "/block"));
    ASSERT_TRUE(handler_.WaitBlocked(2));  // the third waits for a worker
    HttpTestConnection refused(port());
    auto busy_answer = refused.ReadReply();
    ASSERT_TRUE(busy_answer);
    EXPECT_EQ(busy_answer->status, 503);
    EXPECT_TRUE(refused.WaitClosed(5s));
    handler_.Release();
    for (HttpTestConnection* busy : {open[1].get(), open[2].get(), &fourth}) {
      auto released = busy->ReadReply();
      ASSERT_TRUE(released);
      EXPECT_EQ(released->body, "released");
    }
  }
};

TEST_F(ConnectionCapTest, AtTheCapInAllTheIdlestMakesRoomElseTheNewOneIsRefused) {
  CheckTheCap(/*total=*/3, /*per_address=*/0);
}

TEST_F(ConnectionCapTest, AtTheCapPerAddressTheIdlestMakesRoomElseTheNewOneIsRefused) {
  CheckTheCap(/*total=*/0, /*per_address=*/3);
}

TEST_F(ConnectionCapTest, AnUncappedAddressIsNotHeldToThePerAddressCap) {
  StartServer(/*workers=*/2, [](HttpServerOptions& options) {
    options.max_connections_per_address = 1;
    options.idle_timeout = 60s;
    options.uncapped_address = [](const std::string& address) { return address == "127.0.0.1"; };
  });
  HttpTestConnection first(port()), second(port());
  for (HttpTestConnection* connection : {&first, &second, &first}) {
    connection->Send(MakeRequest("GET", "/hello"));
    auto reply = connection->ReadReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
  }
}

TEST_F(HttpServerTest, AFaultyAnswerGets500AndTheServerGoesOn) {
  StartServer();
  HttpTestConnection connection(port());
  connection.Send(MakeRequest("GET", "/throw"));
  auto failed = connection.ReadReply();
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->status, 500);
  connection.Send(MakeRequest("GET", "/hello"));
  auto next = connection.ReadReply();
  ASSERT_TRUE(next);
  EXPECT_EQ(next->status, 200);
}

TEST_F(HttpServerTest, AHeaderWithALineBreakIsNeverWritten) {
  StartServer();
  // Plays a page that put a value from the request, line break and all,
  // into a header.
  struct SplittingHandler : HttpHandler {
    HttpResponse Handle(const HttpRequest&) override {
      HttpResponse response;
      response.AddHeader("Location", "/x\r\nSet-Cookie: stolen=1");
      response.status = 302;
      return response;
    }
  } splitting;
  HttpServerOptions options;
  options.port = 0;
  options.access_log = [](std::string_view) {};
  HttpServer server(options, splitting);
  server.Start();
  auto reply = Exchange(server.port(), MakeRequest("GET", "/"));
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 500);
  EXPECT_FALSE(reply->Header("set-cookie"));
  EXPECT_FALSE(reply->Header("location"));
}

TEST_F(HttpServerTest, StopAnswersTheRequestInFlightThenReturns) {
  StartServer(/*workers=*/1);
  HttpTestConnection idle(port());
  idle.Send(MakeRequest("GET", "/first"));
  ASSERT_TRUE(idle.ReadReply());
  HttpTestConnection in_flight(port());
  in_flight.Send(MakeRequest("GET", "/block"));
  ASSERT_TRUE(handler_.WaitBlocked(1));

  server_->Stop();
  // No new connection is served, and the idle one is closed.
  {
    HttpTestConnection late(port());
    if (late.connected()) {
      late.Send(MakeRequest("GET", "/late"));
      EXPECT_FALSE(late.ReadReply(false, 2s));
    }
  }
  EXPECT_TRUE(idle.WaitClosed());

  std::atomic<bool> returned{false};
  std::thread waiter([&] {
    server_->Wait();
    returned = true;
  });
  EXPECT_FALSE(returned) << "Wait returned while a request was still being handled";
  handler_.Release();
  auto reply = in_flight.ReadReply();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  EXPECT_EQ(reply->body, "released");
  EXPECT_EQ(reply->Header("connection"), "close");
  waiter.join();
  EXPECT_TRUE(returned);
  EXPECT_TRUE(in_flight.WaitClosed());
}

TEST_F(HttpServerTest, LogsOneLinePerRequestWithoutTheQuerysValues) {
  StartServer();
  HttpTestConnection connection(port());
  connection.Send(MakeRequest("GET", "/Search.asp?t=12&go=secret%20word&p=&flag"));
  ASSERT_TRUE(connection.ReadReply());
  connection.Send(MakeRequest("HEAD", "/hello"));
  ASSERT_TRUE(connection.ReadReply(true));
  connection.Send("GET /bad%zz?pw=x HTTP/1.1\r\nHost: a\r\n\r\n");
  ASSERT_TRUE(connection.ReadReply());
  std::vector<std::string> log = WaitForLog(3);
  ASSERT_EQ(log.size(), 3u);
  const std::string time = "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z";
  EXPECT_TRUE(std::regex_match(log[0], std::regex(time + " GET /Search\\.asp\\?t=&go=&p=&flag "
                                                         "200 11 \\d+")))
      << log[0];
  EXPECT_TRUE(std::regex_match(log[1], std::regex(time + " HEAD /hello 200 0 \\d+"))) << log[1];
  EXPECT_TRUE(std::regex_match(log[2], std::regex(time + " GET /bad%zz\\?pw= 400 \\d+ \\d+")))
      << log[2];
}

}  // namespace
}  // namespace tabrix::site
