// Runs the program, in this process on files in memory, or as a child process
// in a directory of its own where only a process shows what a user sees (a
// terminal, a signal, a closed stream): the bytes on standard output and
// standard error, the exit status, and the files left behind. The process
// handling is POSIX and kept in run_program.cpp alone.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/memory_file_system.h"
#include "mml/schedule.h"

namespace vantrel::test {

// A fresh, empty directory under the system's temporary directory; removed,
// with everything in it, when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  void write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
  std::string read(const std::string& name) const;  // the whole file, as bytes
  // The names of the entries in the directory (not recursive).
  std::set<std::string> names() const;

 private:
  std::filesystem::path path_;
};

struct ProgramRun {
  std::string out;  // standard output, as written
  std::string err;  // standard error, as written
  int status = -1;  // exit status; 128 + signal number if a signal ended it
};

// Runs the program's code in this process on `files`: what the command line
// does, with every file in memory.
ProgramRun runInMemory(const std::vector<std::string>& arguments, MemoryFileSystem& files,
                       const Schedule& schedule = {});

// Runs `program` with `arguments` (those after the program name) in
// `directory` and waits for it to end. Its environment is `environment`
// ("NAME=value" each), or this process's when that is empty.
ProgramRun runChild(const std::string& program, const std::vector<std::string>& arguments,
                    const std::filesystem::path& directory,
                    const std::vector<std::string>& environment = {});

// The same for the program under test.
ProgramRun runVantrel(const std::vector<std::string>& arguments,
                      const std::filesystem::path& directory,
                      const std::vector<std::string>& environment = {});

// The program under test started with its standard output on the null
// device (or closed) and its standard error read, for a test that stops it
// part way or looks at what it wrote with no standard output.
class StartedVantrel {
 public:
  StartedVantrel(const std::vector<std::string>& arguments, const std::filesystem::path& directory,
                 bool closeStandardOutput = false);
  ~StartedVantrel();
  void signal(int number);
  // Waits for it to end: its exit status, or 128 + the signal that ended it.
  int wait();

 private:
  int pid_ = -1;
  int status_ = -1;
};

// Runs the program under test with standard output and standard error on a
// pseudo-terminal, as a person at a terminal would, with `environment`
// ("LANG=C.UTF-8", ...) its whole environment. The terminal passes bytes
// through unchanged; both streams come back together in `out`.
ProgramRun runVantrelOnTerminal(const std::vector<std::string>& arguments,
                                const std::filesystem::path& directory,
                                const std::vector<std::string>& environment);

}  // namespace vantrel::test
