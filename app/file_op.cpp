#include "app/file_op.h"

#include <cerrno>
#include <filesystem>
#include <new>

#include "app/fault.h"
#include "app/native_path.h"

namespace vantrel {

void FileOp::openOrExit(std::ios_base::openmode mode) {
  errno = 0;
  open(name, mode);
  if (!is_open()) systemError(name.c_str());
}

void FileOp::readWhole() {
  bytes.clear();
  try {
    // A regular file tells its size, so the buffer is allocated once.
    std::error_code error;
    std::uintmax_t size = std::filesystem::file_size(nativePath(name), error);
    if (!error) bytes.reserve(static_cast<std::size_t>(size));
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
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;  // a file larger than the memory can hold
    systemError(name.c_str());
  }
  clear();
}

}  // namespace vantrel
