#include "tests/run_program.h"

#include "app/console.h"
#include "app/program.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace vantrel::test {
namespace {

[[noreturn]] void fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

// Reads both pipes to their ends together, so that a child that fills one
// while the parent waits on the other cannot block.
void drain(int outFd, int errFd, std::string& out, std::string& err) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {&out, &err};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      fail("poll");
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      } else {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      }
    }
  }
}

// "NAME=value" settings as execve takes them, ending in a null pointer.
std::vector<char*> environmentOf(const std::vector<std::string>& settings) {
  std::vector<char*> envp;
  for (const std::string& s : settings) envp.push_back(const_cast<char*>(s.c_str()));
  envp.push_back(nullptr);
  return envp;
}

}  // namespace

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) fail("mkdtemp");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void ScratchDir::write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
  std::ofstream file(path_ / name, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + name);
}

std::string ScratchDir::read(const std::string& name) const {
  std::ifstream file(path_ / name, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + name);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::set<std::string> ScratchDir::names() const {
  std::set<std::string> result;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    result.insert(entry.path().filename().string());
  }
  return result;
}

ProgramRun runInMemory(const std::vector<std::string>& arguments, MemoryFileSystem& files,
                       const Schedule& schedule) {
  StringConsole out, err;
  ProgramRun run;
  run.status = vantrel::runProgram(arguments, files, out, err, schedule);
  run.out = std::move(out.text);
  run.err = std::move(err.text);
  return run;
}

ProgramRun runChild(const std::string& program, const std::vector<std::string>& arguments,
                    const std::filesystem::path& directory,
                    const std::vector<std::string>& environment) {
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0) fail("pipe");
  if (pipe(errPipe) != 0) fail("pipe");

  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp = environmentOf(environment);

  pid_t child = fork();
  if (child < 0) fail("fork");
  if (child == 0) {
    // Only async-signal-safe calls between fork and exec.
    if (chdir(directory.c_str()) != 0) _exit(126);
    dup2(outPipe[1], STDOUT_FILENO);
    dup2(errPipe[1], STDERR_FILENO);
    close(outPipe[0]);
    close(outPipe[1]);
    close(errPipe[0]);
    close(errPipe[1]);
    if (environment.empty()) {
      execv(program.c_str(), argv.data());
    } else {
      execve(program.c_str(), argv.data(), envp.data());
    }
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);

  ProgramRun run;
  drain(outPipe[0], errPipe[0], run.out, run.err);
  int wstatus = 0;
  while (waitpid(child, &wstatus, 0) < 0) {
    if (errno != EINTR) fail("waitpid");
  }
  if (WIFEXITED(wstatus)) {
    run.status = WEXITSTATUS(wstatus);
  } else if (WIFSIGNALED(wstatus)) {
    run.status = 128 + WTERMSIG(wstatus);
  }
  return run;
}

ProgramRun runVantrel(const std::vector<std::string>& arguments,
                      const std::filesystem::path& directory,
                      const std::vector<std::string>& environment) {
  return runChild(VANTREL_BINARY, arguments, directory, environment);
}

StartedVantrel::StartedVantrel(const std::vector<std::string>& arguments,
                               const std::filesystem::path& directory, bool closeStandardOutput) {
  const std::string program = VANTREL_BINARY;
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ < 0) fail("fork");
  if (pid_ == 0) {
    if (chdir(directory.c_str()) != 0) _exit(126);
    // The signals a shell leaves at their defaults for a program it starts.
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) ::signal(number, SIG_DFL);
    if (closeStandardOutput) {
      close(STDOUT_FILENO);
    } else {
      int null = open("/dev/null", O_WRONLY);
      dup2(null, STDOUT_FILENO);
      close(null);
    }
    execv(program.c_str(), argv.data());
    _exit(127);
  }
}

StartedVantrel::~StartedVantrel() {
  if (status_ < 0 && pid_ > 0) {
    kill(pid_, SIGKILL);
    wait();
  }
}

void StartedVantrel::signal(int number) { kill(pid_, number); }

int StartedVantrel::wait() {
  if (status_ >= 0) return status_;
  int wstatus = 0;
  while (waitpid(pid_, &wstatus, 0) < 0) {
    if (errno != EINTR) fail("waitpid");
  }
  status_ = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  return status_;
}

ProgramRun runVantrelOnTerminal(const std::vector<std::string>& arguments,
                                const std::filesystem::path& directory,
                                const std::vector<std::string>& environment) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) fail("posix_openpt");
  const std::string terminal = ptsname(master);
  int slave = open(terminal.c_str(), O_RDWR | O_NOCTTY);
  if (slave < 0) fail("open pty");
  // Raw mode: no CR added before line feeds, nothing echoed.
  termios mode;
  if (tcgetattr(slave, &mode) != 0) fail("tcgetattr");
  cfmakeraw(&mode);
  if (tcsetattr(slave, TCSANOW, &mode) != 0) fail("tcsetattr");

  const std::string program = VANTREL_BINARY;
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp = environmentOf(environment);

  pid_t child = fork();
  if (child < 0) fail("fork");
  if (child == 0) {
    if (chdir(directory.c_str()) != 0) _exit(126);
    dup2(slave, STDOUT_FILENO);
    dup2(slave, STDERR_FILENO);
    close(slave);
    close(master);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(slave);
  ProgramRun run;
  char buffer[4096];
  for (;;) {
    ssize_t got = read(master, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // EIO once the child has closed the terminal
    run.out.append(buffer, static_cast<std::size_t>(got));
  }
  close(master);
  int wstatus = 0;
  while (waitpid(child, &wstatus, 0) < 0) {
    if (errno != EINTR) fail("waitpid");
  }
  run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  return run;
}

}  // namespace vantrel::test
