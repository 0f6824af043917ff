// FileSystem: the calls the command line makes on files, behind an interface,
// so that the program runs on the real disk (DiskFileSystem) or on files in
// memory (MemoryFileSystem), where tests make any call fail and the web page
// keeps its files.
//
// Failures come back as the program's one fault value: kFileError with the
// errno of the failing call and the name the call was given; the caller
// decides what they mean and which name its message shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "util/fault.h"

namespace vantrel {

enum class NodeKind : std::uint8_t {
  kMissing,
  kRegular,
  kDirectory,
  kOther,   // a device, a fifo, a socket
  kStream,  // a stream the process holds open (its standard output, say)
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
  bool writable = false;  // this process may write it
};

// The fault of a call on `name` that failed with `error`; none for 0.
inline Fault fileResult(const std::string& name, int error) {
  return error == 0 ? Fault{} : fileFault(name, error);
}

class InputStream {
 public:
  virtual ~InputStream() = default;
  // Reads up to `size` bytes into `bytes`; `got` is 0 at the end.
  virtual Fault read(std::uint8_t* bytes, std::size_t size, std::size_t& got) = 0;
  // The size a regular file had when it was opened; 0 when not known.
  virtual std::uint64_t sizeHint() const = 0;
};

class OutputStream {
 public:
  virtual ~OutputStream() = default;
  // Writes all `size` bytes.
  virtual Fault write(const char* bytes, std::size_t size) = 0;
  // Makes what was written reach the disk, where the system allows it.
  virtual Fault sync() = 0;
  virtual Fault close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual Fault openForReading(const std::string& name, std::unique_ptr<InputStream>& stream) = 0;

  // What `name` is, after symbolic links; kMissing when nothing is.
  virtual Fault info(const std::string& name, NodeInfo& info) = 0;

  // The name of what `name` finally refers to (it may not exist): its links
  // followed as the system follows them, as many as it follows, and refused
  // where it refuses (EACCES for a link in a sticky world-writable folder
  // that neither this user nor the folder's owner owns, whatever the
  // system's own setting). A stream the process holds open, however named,
  // comes back as a name that info() reports as kStream.
  virtual Fault resolve(const std::string& name, std::string& target) = 0;

  // Creates the file `name`, which did not exist, for writing. With `like`
  // (the name of an existing file) it is private to its owner until it has
  // that file's owner, group, access list and other extended attributes and
  // then its permission bits, before anything is written; `kept` tells
  // whether all of them could be given. Without it, it has the bits of any
  // new file. It is put in place later by replace() or removed; the file
  // system removes it itself when a signal ends the process meanwhile.
  virtual Fault createTemporary(const std::string& name, const std::string* like,
                                std::unique_ptr<OutputStream>& stream, bool& kept) = 0;

  // Opens `name` for writing in place: created, or emptied if it exists; a
  // stream (kStream) is written where it stands, neither emptied nor opened
  // again.
  virtual Fault openForWriting(const std::string& name, std::unique_ptr<OutputStream>& stream) = 0;

  // Puts `from` in the place of `to` in one step: `to` is the old file or
  // the new one, never anything between.
  virtual Fault replace(const std::string& from, const std::string& to) = 0;

  virtual Fault remove(const std::string& name) = 0;
};

}  // namespace vantrel
