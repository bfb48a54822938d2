#include "support/tabrix_server.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <regex>

extern char** environ;

namespace tabrix::testing {

namespace {

constexpr auto kStartLimit = std::chrono::seconds(30);
constexpr auto kExitLimit = std::chrono::seconds(20);

int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

}  // namespace

TabrixServer::TabrixServer(const std::vector<std::string>& args, const std::filesystem::path& dir,
                           const TabrixServerLaunch& launch) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe2 failed";
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (launch.read_stdout)
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  else
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
  if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  // The child starts with no signal blocked, whatever this thread blocks.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);

  std::vector<std::string> words = {TABRIX_BINARY, launch.command};
  words.insert(words.end(), args.begin(), args.end());
  std::string program = TABRIX_BINARY;
  if (launch.max_open_files > 0) {
    program = "/bin/sh";
    words.insert(words.begin(), {"/bin/sh", "-c",
                                 "ulimit -n " + std::to_string(launch.max_open_files) +
                                     " && exec \"$0\" \"$@\""});
  }
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  int failed = posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(pipe_fds[1]);
  if (failed != 0) {
    pid_ = -1;
    close(pipe_fds[0]);
    ADD_FAILURE() << "cannot start " << TABRIX_BINARY;
    return;
  }
  reader_ = std::thread([this, fd = pipe_fds[0]] { ReadStderr(fd); });

  static const std::regex kListening("tabrix: listening on http://[^\\s]+:([0-9]+)\n");
  std::smatch match;
  bool up = WaitForStderr(
      [&](const std::string& text) { return std::regex_search(text, match, kListening); },
      kStartLimit);
  if (!up) {
    ADD_FAILURE() << "tabrix " << launch.command << " did not listen; stderr:\n" << Stderr();
    return;
  }
  port_ = static_cast<std::uint16_t>(std::stoi(match[1].str()));
}

TabrixServer::~TabrixServer() {
  Stop();
  if (reader_.joinable()) reader_.join();
}

int TabrixServer::Stop(int signal) {
  if (pid_ < 0 || stopped_) return exit_code_;
  stopped_ = true;
  kill(pid_, signal);
  auto deadline = std::chrono::steady_clock::now() + kExitLimit;
  int status = 0;
  while (true) {
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      exit_code_ = ExitCode(status);
      return exit_code_;
    }
    if (done < 0 && errno != EINTR) return exit_code_;
    if (std::chrono::steady_clock::now() > deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ADD_FAILURE() << "tabrix serve did not exit on signal " << signal << "; killed";
  kill(pid_, SIGKILL);
  waitpid(pid_, &status, 0);
  return exit_code_;
}

std::string TabrixServer::Stderr() const {
  std::lock_guard lock(mutex_);
  return stderr_;
}

bool TabrixServer::WaitForStderr(const std::function<bool(const std::string&)>& done,
                                 std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [&] { return done(stderr_) || stderr_closed_; }) &&
         done(stderr_);
}

void TabrixServer::ReadStderr(int fd) {
  char chunk[4096];
  while (true) {  // ends with the child's end of stderr
    ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    std::lock_guard lock(mutex_);
    if (got <= 0) {
      stderr_closed_ = true;
      changed_.notify_all();
      break;
    }
    stderr_.append(chunk, static_cast<size_t>(got));
    changed_.notify_all();
  }
  close(fd);
}

}  // namespace tabrix::testing
