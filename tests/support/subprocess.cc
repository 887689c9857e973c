#include "support/subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testing_support {

RunResult run_program(const std::string& exe, const std::vector<std::string>& args,
                      std::string_view stdin_bytes, const std::string& cwd,
                      std::size_t close_stdout_after) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0) {
    throw std::runtime_error("pipe failed");
  }
  std::vector<std::string> argv_store;
  argv_store.push_back(exe);
  for (const auto& a : args) argv_store.push_back(a);
  std::vector<char*> argv;
  for (auto& a : argv_store) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) {
      close(fd);
    }
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  signal(SIGPIPE, SIG_IGN);
  fcntl(in_pipe[1], F_SETFL, O_NONBLOCK);

  RunResult result;
  std::size_t sent = 0;
  int in_fd = in_pipe[1];
  int out_fd = out_pipe[0];
  int err_fd = err_pipe[0];
  if (stdin_bytes.empty()) {
    close(in_fd);
    in_fd = -1;
  }
  char buffer[65536];
  while (out_fd >= 0 || err_fd >= 0) {
    pollfd fds[3];
    int n = 0;
    int in_slot = -1, out_slot = -1, err_slot = -1;
    if (in_fd >= 0) {
      fds[n] = {in_fd, POLLOUT, 0};
      in_slot = n++;
    }
    if (out_fd >= 0) {
      fds[n] = {out_fd, POLLIN, 0};
      out_slot = n++;
    }
    if (err_fd >= 0) {
      fds[n] = {err_fd, POLLIN, 0};
      err_slot = n++;
    }
    if (poll(fds, static_cast<nfds_t>(n), 60000) <= 0) break;
    if (in_slot >= 0 && (fds[in_slot].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t w = write(in_fd, stdin_bytes.data() + sent, stdin_bytes.size() - sent);
      if (w > 0) sent += static_cast<std::size_t>(w);
      if (w < 0 && errno != EAGAIN) sent = stdin_bytes.size();
      if (sent >= stdin_bytes.size()) {
        close(in_fd);
        in_fd = -1;
      }
    }
    if (out_slot >= 0 && (fds[out_slot].revents & (POLLIN | POLLHUP | POLLERR))) {
      ssize_t r = read(out_fd, buffer, sizeof buffer);
      if (r <= 0) {
        close(out_fd);
        out_fd = -1;
      } else {
        result.out.append(buffer, static_cast<std::size_t>(r));
        if (close_stdout_after > 0 && result.out.size() >= close_stdout_after) {
          close(out_fd);
          out_fd = -1;
        }
      }
    }
    if (err_slot >= 0 && (fds[err_slot].revents & (POLLIN | POLLHUP | POLLERR))) {
      ssize_t r = read(err_fd, buffer, sizeof buffer);
      if (r <= 0) {
        close(err_fd);
        err_fd = -1;
      } else
        result.err.append(buffer, static_cast<std::size_t>(r));
    }
  }
  if (in_fd >= 0) close(in_fd);
  if (out_fd >= 0) close(out_fd);
  if (err_fd >= 0) close(err_fd);
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  if (WIFEXITED(wstatus))
    result.status = WEXITSTATUS(wstatus);
  else if (WIFSIGNALED(wstatus))
    result.status = 128 + WTERMSIG(wstatus);
  return result;
}

ScratchDir::ScratchDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "kel2fram-test-XXXXXX").string();
  if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  // Give back permissions that a test may have taken away, so that everything goes.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

void ScratchDir::write(std::string_view name, std::string_view bytes) const {
  std::ofstream f(file(name), std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ScratchDir::read(std::string_view name) const {
  std::ifstream f(file(name), std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool ScratchDir::exists(std::string_view name) const {
  return std::filesystem::exists(file(name));
}

const char* const kLockedReason = "Permission denied";
const char* const kErrEnd = "\n";

LockedFile::LockedFile(std::string path) : path_(std::move(path)) {
  ::chmod(path_.c_str(), 0);
}

LockedFile::~LockedFile() {
  ::chmod(path_.c_str(), 0644);
}

std::string crlf(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) {
    s += l;
    s += "\r\n";
  }
  return s;
}

}  // namespace testing_support
