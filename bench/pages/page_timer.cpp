// Times one request or one query many times over, in one process, and
// prints the median and the 99th percentile in milliseconds: a page fetched
// over HTTP on one kept-alive connection, or the hand-written SQL for the
// same page run directly on the database (SQLite's C API or libpq). The
// clock covers the request or the query and the reading of every value it
// returns, never the program's start-up or the connection's opening.
//
//   page_timer http HOST:PORT COUNT PATH [COOKIE]
//   page_timer sqlite FILE COUNT SQL
//   page_timer postgres CONNINFO COUNT SQL
//
// Prints "median_ms p99_ms count bytes" on one line (bytes: of the last
// answer's body, or of the last result's values); the first run of each is
// a warm-up and is not counted. Exits non-zero when a request does not
// answer 200 or a query fails.
#include <arpa/inet.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// One kept-alive HTTP/1.1 connection; answers are read by Content-Length
// (the server sends no chunked bodies).
class HttpConnection {
 public:
  explicit HttpConnection(const std::string& address) {
    const auto colon = address.rfind(':');
    if (colon == std::string::npos) throw std::runtime_error("address is not HOST:PORT");
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(std::stoi(address.substr(colon + 1))));
    if (inet_pton(AF_INET, address.substr(0, colon).c_str(), &to.sin_addr) != 1)
      throw std::runtime_error("not an IPv4 address: " + address);
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
      throw std::runtime_error("cannot connect to " + address);
    int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  }
  ~HttpConnection() { close(fd_); }
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  // Sends the request and reads its whole answer; returns the body's size.
  size_t Get(const std::string& request) {
    for (size_t sent = 0; sent < request.size();) {
      const ssize_t n = send(fd_, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) throw std::runtime_error("send failed");
      sent += static_cast<size_t>(n);
    }
    size_t header_end;
    while ((header_end = buffer_.find("\r\n\r\n")) == std::string::npos) Fill();
    const std::string head = buffer_.substr(0, header_end);
    if (head.compare(0, 12, "HTTP/1.1 200") != 0)
      throw std::runtime_error("answer: " + head.substr(0, head.find('\r')));
    size_t length = 0;
    for (size_t at = head.find("\r\n"); at != std::string::npos; at = head.find("\r\n", at + 2)) {
      if (strncasecmp(head.c_str() + at + 2, "Content-Length:", 15) == 0)
        length = std::strtoul(head.c_str() + at + 17, nullptr, 10);
    }
    const size_t total = header_end + 4 + length;
    while (buffer_.size() < total) Fill();
    buffer_.erase(0, total);
    return length;
  }

 private:
  void Fill() {
    char chunk[65536];
    const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) throw std::runtime_error("the server closed the connection");
    buffer_.append(chunk, static_cast<size_t>(n));
  }

  int fd_ = -1;
  std::string buffer_;
};

// Reads every value of every row, as the page must to print them.
size_t RunSqlite(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(db));
  size_t bytes = 0;
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    const int columns = sqlite3_column_count(statement);
    for (int i = 0; i < columns; ++i) {
      sqlite3_column_text(statement, i);
      bytes += static_cast<size_t>(sqlite3_column_bytes(statement, i));
    }
  }
  sqlite3_finalize(statement);
  if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
  return bytes;
}

size_t RunPostgres(PGconn* db, const std::string& sql) {
  PGresult* result = PQexec(db, sql.c_str());
  if (PQresultStatus(result) != PGRES_TUPLES_OK) {
    const std::string error = PQresultErrorMessage(result);
    PQclear(result);
    throw std::runtime_error(error);
  }
  size_t bytes = 0;
  for (int row = 0; row < PQntuples(result); ++row)
    for (int i = 0; i < PQnfields(result); ++i) bytes += static_cast<size_t>(PQgetlength(result, row, i));
  PQclear(result);
  return bytes;
}

// Runs `once` count + 1 times and prints the figures of the last count.
void Time(int count, const std::function<size_t()>& once) {
  size_t bytes = once();
  std::vector<double> ms;
  ms.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const auto start = Clock::now();
    bytes = once();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  const auto at = [&](double fraction) {
    return ms[std::min(ms.size() - 1, static_cast<size_t>(fraction * static_cast<double>(ms.size())))];
  };
  std::printf("%.3f %.3f %d %zu\n", at(0.5), at(0.99), count, bytes);
}

int Main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr,
                 "usage: page_timer http HOST:PORT COUNT PATH [COOKIE]\n"
                 "       page_timer sqlite FILE COUNT SQL\n"
                 "       page_timer postgres CONNINFO COUNT SQL\n");
    return 2;
  }
  const std::string mode = argv[1], target = argv[2], what = argv[4];
  const int count = std::max(1, std::atoi(argv[3]));
  if (mode == "http") {
    HttpConnection connection(target);
    std::string request = "GET " + what + " HTTP/1.1\r\nHost: " + target + "\r\n";
    if (argc > 5) request += std::string("Cookie: ") + argv[5] + "\r\n";
    request += "\r\n";
    Time(count, [&] { return connection.Get(request); });
  } else if (mode == "sqlite") {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(target.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
      throw std::runtime_error("cannot open " + target);
    try {
      Time(count, [&] { return RunSqlite(db, what); });
    } catch (...) {
      sqlite3_close(db);
      throw;
    }
    sqlite3_close(db);
  } else if (mode == "postgres") {
    PGconn* db = PQconnectdb(target.c_str());
    if (PQstatus(db) != CONNECTION_OK) {
      const std::string error = PQerrorMessage(db);
      PQfinish(db);
      throw std::runtime_error(error);
    }
    try {
      Time(count, [&] { return RunPostgres(db, what); });
    } catch (...) {
      PQfinish(db);
      throw;
    }
    PQfinish(db);
  } else {
    std::fprintf(stderr, "page_timer: unknown mode %s\n", mode.c_str());
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Main(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "page_timer: %s\n", e.what());
    return 1;
  }
}
