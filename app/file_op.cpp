#include "app/file_op.h"

#include <cerrno>

#include "app/fault.h"

namespace vantrel {

void FileOp::openOrExit(std::ios_base::openmode mode) {
  errno = 0;
  open(name, mode);
  if (!is_open()) systemError(name.c_str());
}

void FileOp::readWhole() {
  bytes.clear();
  char chunk[1 << 16];
  for (;;) {
    errno = 0;
    read(chunk, sizeof chunk);
    std::streamsize got = gcount();
    bytes.insert(bytes.end(), chunk, chunk + got);
    if (eof()) break;
    if (!good()) {
      // A directory opens on some systems and fails only here.
      if (errno == 0) errno = EIO;
      systemError(name.c_str());
    }
  }
  clear();
}

}  // namespace vantrel
