// FileSystem: the calls the command line makes on files, behind an interface,
// so that the program runs on the real disk (DiskFileSystem) or on files in
// memory (MemoryFileSystem), where tests make any call fail and the web page
// keeps its files.
//
// Failures come back as the errno of the failing call (0 for success); the
// caller decides what they mean and names the file in its message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vantrel {

enum class NodeKind : std::uint8_t {
  kMissing,
  kRegular,
  kDirectory,
  kOther,  // a device, a fifo, a socket
};

struct NodeInfo {
  NodeKind kind = NodeKind::kMissing;
  // Which file it is: two names with the same identity are one file.
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint32_t links = 1;  // names of a regular file
  std::uint32_t mode = 0;   // permission bits
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
};

class InputStream {
 public:
  virtual ~InputStream() = default;
  // Reads up to `size` bytes into `bytes`; `got` is 0 at the end.
  virtual int read(std::uint8_t* bytes, std::size_t size, std::size_t& got) = 0;
  // The size a regular file had when it was opened; 0 when not known.
  virtual std::uint64_t sizeHint() const = 0;
};

class OutputStream {
 public:
  virtual ~OutputStream() = default;
  // Writes all `size` bytes.
  virtual int write(const char* bytes, std::size_t size) = 0;
  // Makes what was written reach the disk, where the system allows it.
  virtual int sync() = 0;
  virtual int close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual int openForReading(const std::string& name, std::unique_ptr<InputStream>& stream) = 0;

  // What `name` is, after symbolic links; kMissing with 0 when nothing is.
  virtual int info(const std::string& name, NodeInfo& info) = 0;

  // The name of what `name` finally refers to through symbolic links (it
  // may not exist); `name` itself when it is no link.
  virtual int resolve(const std::string& name, std::string& target) = 0;

  // Creates a file that did not exist, for writing, whose permission bits
  // and owner are those of `like` when given (else those of a new file), to
  // be put in place later by replace() or removed. The file system removes
  // it itself when the process is stopped by a signal meanwhile.
  virtual int createTemporary(const std::string& name, const NodeInfo* like,
                              std::unique_ptr<OutputStream>& stream) = 0;

  // Opens `name` for writing in place: created, or emptied if it exists.
  virtual int openForWriting(const std::string& name, std::unique_ptr<OutputStream>& stream) = 0;

  // Puts `from` in the place of `to` in one step: `to` is the old file or
  // the new one, never anything between.
  virtual int replace(const std::string& from, const std::string& to) = 0;

  virtual int remove(const std::string& name) = 0;
};

}  // namespace vantrel
