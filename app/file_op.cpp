#include "app/file_op.h"

#include <cerrno>
#include <filesystem>
#include <new>

#include "app/native_path.h"

namespace vantrel {

int readWholeFile(const std::string& name, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  errno = 0;
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) return errno != 0 ? errno : EIO;
  int error = 0;
  try {
    // A regular file tells its size, so the buffer is allocated once.
    std::error_code sizeError;
    std::uintmax_t size = std::filesystem::file_size(nativePath(name), sizeError);
    if (!sizeError) bytes.reserve(static_cast<std::size_t>(size));
    char chunk[1 << 16];
    for (;;) {
      errno = 0;
      std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
      bytes.insert(bytes.end(), chunk, chunk + got);
      if (got == sizeof chunk) continue;
      // A directory opens on some systems and fails only here.
      if (std::ferror(file)) error = errno != 0 ? errno : EIO;
      break;
    }
  } catch (const std::bad_alloc&) {
    error = ENOMEM;  // a file larger than the memory can hold
  }
  std::fclose(file);
  return error;
}

FileSink::~FileSink() { close(); }

int FileSink::open(const std::string& name) {
  close();
  errno = 0;
  file_ = std::fopen(name.c_str(), "wb");
  if (file_ == nullptr) return errno != 0 ? errno : EIO;
  std::setvbuf(file_, nullptr, _IONBF, 0);
  return 0;
}

int FileSink::close() {
  if (file_ == nullptr) return 0;
  errno = 0;
  const int result = std::fclose(file_);
  file_ = nullptr;
  return result == 0 ? 0 : (errno != 0 ? errno : EIO);
}

bool FileSink::write(const char* bytes, std::size_t size) {
  return std::fwrite(bytes, 1, size, file_) == size;
}

bool FileSink::flush() { return std::fflush(file_) == 0; }

}  // namespace vantrel
