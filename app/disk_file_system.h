// DiskFileSystem: the FileSystem of the real disk, through the system's own
// calls (POSIX, or Windows), and the clean-up of a run stopped by a signal.
#pragma once

#include "app/file_system.h"

namespace vantrel {

class DiskFileSystem : public FileSystem {
 public:
  Fault openForReading(const std::string& name, std::unique_ptr<InputStream>& stream) override;
  Fault info(const std::string& name, NodeInfo& info) override;
  Fault resolve(const std::string& name, std::string& target) override;
  Fault createTemporary(const std::string& name, const std::string* like,
                        std::unique_ptr<OutputStream>& stream, bool& kept) override;
  Fault openForWriting(const std::string& name, std::unique_ptr<OutputStream>& stream) override;
  Fault replace(const std::string& from, const std::string& to) override;
  Fault remove(const std::string& name) override;
};

// Sets up the process before anything is opened: standard input, output and
// error that are closed are opened on the null device (so that no file the
// program opens takes their place); a write to a closed pipe or past a file
// size limit fails with an error instead of ending the process; and a
// temporary file of a run ended by a signal (any that ends a process and is
// not ignored; Ctrl-C, Ctrl-Break or the console closed, on Windows) is
// removed before the process ends as that signal ends it.
void prepareProcess();

}  // namespace vantrel
