#include "app/file_op.h"

#include <cerrno>
#include <filesystem>
#include <new>

#include "app/native_path.h"

#if defined(__unix__) && !defined(__EMSCRIPTEN__)
#define VANTREL_MAP_INPUT 1
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vantrel {
namespace {

// Reads the file called `name` to its end into `bytes`.
int readWhole(const std::string& name, std::vector<std::uint8_t>& bytes) {
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

}  // namespace

InputFile::~InputFile() {
#ifdef VANTREL_MAP_INPUT
  if (mapped_ != nullptr) munmap(const_cast<std::uint8_t*>(mapped_), mappedSize_);
#endif
}

int InputFile::open(const std::string& name) {
#ifdef VANTREL_MAP_INPUT
  errno = 0;
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno != 0 ? errno : EIO;
  struct stat status;
  const bool regular = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0;
  if (regular) {
    // The conversion needs several times the input in memory: a file larger
    // than the machine's memory cannot be converted.
    const auto size = static_cast<std::uint64_t>(status.st_size);
    const auto memory = static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                        static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    if (size > memory) {
      close(fd);
      return ENOMEM;
    }
    int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
    flags |= MAP_POPULATE;
#endif
    void* map = mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, flags, fd, 0);
    if (map != MAP_FAILED) {
      close(fd);
      mapped_ = static_cast<const std::uint8_t*>(map);
      mappedSize_ = static_cast<std::size_t>(size);
      return 0;
    }
  }
  close(fd);
#endif
  return readWhole(name, read_);
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
  errno = 0;
  if (std::fwrite(bytes, 1, size, file_) == size) return true;
  if (error_ == 0) error_ = errno != 0 ? errno : EIO;
  return false;
}

bool FileSink::flush() {
  errno = 0;
  if (std::fflush(file_) == 0) return true;
  if (error_ == 0) error_ = errno != 0 ? errno : EIO;
  return false;
}

}  // namespace vantrel
