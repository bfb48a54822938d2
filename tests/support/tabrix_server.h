// Runs the real `tabrix serve` as a child process for black-box tests: it
// starts the program with the given arguments (its stderr read into a
// buffer by a thread of its own), learns the port from the "listening on"
// line, and stops it with SIGTERM. Every wait is bounded; a server that does
// not come up, or does not exit, is a test failure (and is killed).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tabrix::testing {

// How the server is started: the sub-command, and whether its standard
// output is read too (into the same buffer as its stderr).
struct TabrixServerLaunch {
  std::string command = "serve";
  bool read_stdout = false;
  // The child's descriptor limit (ulimit -n); 0: inherited.
  int max_open_files = 0;
};

class TabrixServer {
 public:
  // Starts `tabrix COMMAND ARGS...` in `dir` (the current folder when
  // empty) and waits up to 30 s for it to listen. Pass "--listen",
  // "127.0.0.1:0" to get a free port.
  explicit TabrixServer(const std::vector<std::string>& args, const std::filesystem::path& dir = {},
                        const TabrixServerLaunch& launch = {});
  // Stop().
  ~TabrixServer();
  TabrixServer(const TabrixServer&) = delete;
  TabrixServer& operator=(const TabrixServer&) = delete;

  // Whether the "listening on" line came; port() is valid only then.
  bool listening() const { return port_ != 0; }
  std::uint16_t port() const { return port_; }

  // Sends `signal` (SIGTERM by default), waits up to 20 s for the exit
  // (then kills it and fails the test) and returns the exit code: -1 when
  // it did not exit normally. Later calls return the same code.
  int Stop(int signal = SIGTERM);

  // Everything written on stderr so far (and on stdout, when read).
  std::string Stderr() const;
  // Waits up to `limit` until `done(stderr so far)` holds; returns whether.
  bool WaitForStderr(const std::function<bool(const std::string&)>& done,
                     std::chrono::milliseconds limit = std::chrono::seconds(10)) const;

 private:
  void ReadStderr(int fd);

  pid_t pid_ = -1;
  std::uint16_t port_ = 0;
  int exit_code_ = -1;
  bool stopped_ = false;
  std::thread reader_;
  mutable std::mutex mutex_;  // guards stderr_, stderr_closed_
  mutable std::condition_variable changed_;
  std::string stderr_;
  bool stderr_closed_ = false;
};

}  // namespace tabrix::testing
