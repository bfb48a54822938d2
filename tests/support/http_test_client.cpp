#include "support/http_test_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tabrix::testing {

namespace {

using Clock = std::chrono::steady_clock;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(std::string text) {
  size_t first = text.find_first_not_of(" \t");
  size_t last = text.find_last_not_of(" \t");
  return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

}  // namespace

std::optional<std::string> HttpReply::Header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (key == name) return value;
  return std::nullopt;
}

HttpTestConnection::HttpTestConnection(std::uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return;
  }
  fd_ = fd;
}

HttpTestConnection::~HttpTestConnection() {
  if (fd_ >= 0) close(fd_);
}

void HttpTestConnection::ShutdownSending() {
  if (fd_ >= 0) shutdown(fd_, SHUT_WR);
}

void HttpTestConnection::Reset() {
  if (fd_ < 0) return;
  linger now{1, 0};
  setsockopt(fd_, SOL_SOCKET, SO_LINGER, &now, sizeof now);
  close(fd_);
  fd_ = -1;
}

bool HttpTestConnection::Send(std::string_view bytes, bool quiet) {
  if (fd_ < 0) {
    if (!quiet) ADD_FAILURE() << "send on a connection that is not open";
    return false;
  }
  while (!bytes.empty()) {
    ssize_t sent = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) {
      if (!quiet) ADD_FAILURE() << "send failed: " << std::strerror(errno);
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

bool HttpTestConnection::ReadMore(Clock::time_point deadline, bool* closed) {
  *closed = false;
  if (fd_ < 0) return false;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  if (left.count() <= 0) return false;
  pollfd waiting{fd_, POLLIN, 0};
  int ready = poll(&waiting, 1, static_cast<int>(left.count()));
  if (ready <= 0) return false;
  char chunk[16384];
  ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
  if (got <= 0) {
    *closed = got == 0 || errno == ECONNRESET;
    return false;
  }
  received_.append(chunk, static_cast<size_t>(got));
  return true;
}

std::optional<HttpReply> HttpTestConnection::ReadReply(bool head_only,
                                                       std::chrono::milliseconds limit) {
  Clock::time_point deadline = Clock::now() + limit;
  bool closed = false;
  size_t head_end;
  while ((head_end = received_.find("\r\n\r\n")) == std::string::npos)
    if (!ReadMore(deadline, &closed)) return std::nullopt;
  HttpReply reply;
  std::string head = received_.substr(0, head_end);
  size_t line_end = head.find("\r\n");
  std::string status_line = head.substr(0, line_end);
  if (status_line.size() < 12 || status_line.compare(0, 5, "HTTP/") != 0) return std::nullopt;
  reply.status = std::atoi(status_line.c_str() + 9);
  while (line_end != std::string::npos) {
    size_t next = head.find("\r\n", line_end + 2);
    std::string line = head.substr(line_end + 2, next == std::string::npos ? std::string::npos
                                                                            : next - line_end - 2);
    size_t colon = line.find(':');
    if (colon != std::string::npos)
      reply.headers.emplace_back(Lower(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    line_end = next;
  }
  received_.erase(0, head_end + 4);
  std::optional<std::string> length = reply.Header("content-length");
  std::optional<std::string> coding = reply.Header("transfer-encoding");
  if (!head_only && coding && Lower(*coding) == "chunked") {
    // Each chunk: its size in hex, CRLF, the bytes, CRLF; a size of 0 and
    // an empty line end the body. Anything else is no whole reply.
    reply.chunked = true;
    for (;;) {
      size_t line_end;
      while ((line_end = received_.find("\r\n")) == std::string::npos)
        if (!ReadMore(deadline, &closed)) return std::nullopt;
      std::string size_text = received_.substr(0, line_end);
      if (size_text.empty() || size_text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return std::nullopt;
      size_t size = std::stoul(size_text, nullptr, 16);
      while (received_.size() < line_end + 2 + size + 2)
        if (!ReadMore(deadline, &closed)) return std::nullopt;
      if (received_.compare(line_end + 2 + size, 2, "\r\n") != 0) return std::nullopt;
      reply.body.append(received_, line_end + 2, size);
      received_.erase(0, line_end + 2 + size + 2);
      if (size == 0) return reply;
    }
  }
  if (head_only || !length) return reply;
  size_t size = std::stoul(*length);
  while (received_.size() < size)
    if (!ReadMore(deadline, &closed)) return std::nullopt;
  reply.body = received_.substr(0, size);
  received_.erase(0, size);
  return reply;
}

bool HttpTestConnection::WaitClosed(std::chrono::milliseconds limit, std::string* rest) {
  Clock::time_point deadline = Clock::now() + limit;
  bool closed = false;
  while (ReadMore(deadline, &closed)) {
  }
  if (rest != nullptr) *rest = received_;
  received_.clear();
  return closed;
}

std::string MakeRequest(std::string_view method, std::string_view target,
                        const std::vector<std::string>& extra_headers, std::string_view body) {
  std::string request = std::string(method) + " " + std::string(target) +
                        " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  for (const std::string& line : extra_headers) request += line + "\r\n";
  if (!body.empty()) request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  request += "\r\n";
  request += body;
  return request;
}

std::optional<HttpReply> Exchange(std::uint16_t port, std::string_view request, bool head_only) {
  HttpTestConnection connection(port);
  if (!connection.connected()) {
    ADD_FAILURE() << "cannot connect to 127.0.0.1:" << port;
    return std::nullopt;
  }
  if (!connection.Send(request)) return std::nullopt;
  return connection.ReadReply(head_only);
}

std::optional<HttpReply> ExchangeIfServed(std::uint16_t port, std::string_view request,
                                          std::chrono::milliseconds limit) {
  HttpTestConnection connection(port);
  if (!connection.connected() || !connection.Send(request, true)) return std::nullopt;
  return connection.ReadReply(false, limit);
}

std::string SessionRequestText(const std::string& method, const std::string& target,
                               const std::string& cookie, std::string_view body,
                               bool same_origin) {
  std::vector<std::string> headers;
  if (!cookie.empty()) headers.push_back("Cookie: tabrix_session=" + cookie);
  if (method == "POST") {
    headers.push_back("Content-Type: application/x-www-form-urlencoded");
    if (same_origin) headers.push_back("Origin: http://127.0.0.1");
  }
  return MakeRequest(method, target, headers, body);
}

HttpReply SessionRequest(std::uint16_t port, const std::string& method, const std::string& target,
                         const std::string& cookie, std::string_view body, bool same_origin) {
  std::optional<HttpReply> reply =
      Exchange(port, SessionRequestText(method, target, cookie, body, same_origin));
  EXPECT_TRUE(reply.has_value()) << method << " " << target;
  return reply.value_or(HttpReply{});
}

std::string SessionCookieOf(const HttpReply& reply) {
  constexpr std::string_view kName = "tabrix_session=";
  std::string set = reply.Header("set-cookie").value_or("");
  size_t at = set.find(kName);
  if (at == std::string::npos) return "";
  size_t start = at + kName.size();
  return set.substr(start, set.find(';', start) - start);
}

}  // namespace tabrix::testing
