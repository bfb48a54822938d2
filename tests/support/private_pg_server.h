// A PostgreSQL server of the test's own (TABRIX_TEST_PG_BIN's initdb,
// which scripts/with-postgres exports), on a unix socket in a temporary
// folder, so the test can stop and start it without disturbing the tests
// running beside it. Asked for, it also listens on TCP at 127.0.0.1 (never
// another address) on a free port, without TLS. Owned by the postgres user
// when the tests run as root, as initdb wants. Trusts every local login.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tabrix::testing {

class PrivatePgServer {
 public:
  enum class Listen { kSocketOnly, kAlsoLoopbackTcp };

  explicit PrivatePgServer(Listen listen = Listen::kSocketOnly) {
    const char *bin = std::getenv("TABRIX_TEST_PG_BIN");
    if (bin == nullptr || *bin == '\0') {
      ADD_FAILURE() << "TABRIX_TEST_PG_BIN is not set (run under scripts/with-postgres)";
      return;
    }
    bin_ = bin;
    port_ = listen == Listen::kAlsoLoopbackTcp ? FreeLoopbackPort() : 5432;
    tcp_ = listen == Listen::kAlsoLoopbackTcp;
    folder_ = std::filesystem::temp_directory_path() /
              ("tabrix-pg-private-" + std::to_string(getpid()) + "-" +
               std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(folder_);
    std::filesystem::permissions(folder_, std::filesystem::perms::all);
    if (getuid() == 0) {
      as_owner_ = "runuser -u postgres -- ";
      Run("chown postgres: '" + folder_.string() + "'");
    }
    ok_ = Run(as_owner_ + "'" + bin_ + "/initdb' -D '" + folder_.string() +
              "/data' -U postgres --auth=trust --encoding=UTF8 "
              "--locale=C.UTF-8 >/dev/null 2>&1") &&
          Start();
    if (!ok_) ADD_FAILURE() << "the private PostgreSQL server did not start";
  }
  ~PrivatePgServer() {
    if (!folder_.empty()) {
      Run(as_owner_ + "'" + bin_ + "/pg_ctl' -D '" + folder_.string() +
          "/data' -m immediate stop >/dev/null 2>&1");
      std::error_code ec;
      std::filesystem::remove_all(folder_, ec);
    }
  }
  PrivatePgServer(const PrivatePgServer &) = delete;
  PrivatePgServer &operator=(const PrivatePgServer &) = delete;

  bool ok() const { return ok_; }
  // libpq keywords that reach the server through its unix socket.
  std::string keywords() const {
    return "host=" + folder_.string() + " port=" + std::to_string(port_) +
           " user=postgres dbname=postgres";
  }
  // The site's connection string of its postgres database, through the
  // unix socket.
  std::string connection_string() const {
    return "Provider=PostgreSQL;Host=" + folder_.string() + ";Port=" + std::to_string(port_) +
           ";Database=postgres;User ID=postgres";
  }
  // The port it listens on (on 127.0.0.1 too with kAlsoLoopbackTcp).
  int port() const { return port_; }
  // Each waits up to 30 s for the server; returns whether it worked.
  bool Start() {
    std::string addresses = tcp_ ? "127.0.0.1" : "";
    return Run(as_owner_ + "'" + bin_ + "/pg_ctl' -D '" + folder_.string() + "/data' -l '" +
               folder_.string() + "/server.log' -w -t 30 start -o \"-c listen_addresses='" +
               addresses + "' -c port=" + std::to_string(port_) + " -c unix_socket_directories='" +
               folder_.string() + "' -c fsync=off -c ssl=off\" >/dev/null");
  }
  bool Stop() {
    return Run(as_owner_ + "'" + bin_ + "/pg_ctl' -D '" + folder_.string() +
               "/data' -m fast -w -t 30 stop >/dev/null");
  }

 private:
  static bool Run(const std::string &command) { return std::system(command.c_str()) == 0; }

  // A port on 127.0.0.1 that nothing listens on now (the kernel's pick).
  static int FreeLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
      port = ntohs(address.sin_port);
    if (fd >= 0) close(fd);
    if (port == 0) ADD_FAILURE() << "no free port on 127.0.0.1";
    return port;
  }

  std::string bin_;
  std::filesystem::path folder_;
  std::string as_owner_;
  int port_ = 5432;
  bool tcp_ = false;
  bool ok_ = false;
};

}  // namespace tabrix::testing
