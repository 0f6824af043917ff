// DiskFileSystem: the FileSystem of the real disk, through the system's own
// calls (POSIX, or Windows), and the clean-up of a run stopped by a signal.
#pragma once

#include "app/file_system.h"

namespace vantrel {

class DiskFileSystem : public FileSystem {
 public:
  int openForReading(const std::string& name, std::unique_ptr<InputStream>& stream) override;
  int info(const std::string& name, NodeInfo& info) override;
  int resolve(const std::string& name, std::string& target) override;
  int createTemporary(const std::string& name, const NodeInfo* like,
                      std::unique_ptr<OutputStream>& stream) override;
  int openForWriting(const std::string& name, std::unique_ptr<OutputStream>& stream) override;
  int replace(const std::string& from, const std::string& to) override;
  int remove(const std::string& name) override;
};

// Sets up the process before anything is opened: standard input, output and
// error that are closed are opened on the null device (so that no file the
// program opens takes their place); a write to a closed pipe or past a file
// size limit fails with an error instead of ending the process; and a
// temporary file of a run stopped by SIGINT, SIGTERM or SIGHUP (Ctrl-C or
// the console closed, on Windows) is removed before the process ends.
void prepareProcess();

}  // namespace vantrel
