#include "app/disk_file_system.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#ifdef _WIN32
#include "app/windows_api.h"

#include "app/native_path.h"
#else
#include <fcntl.h>
#include <malloc.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vantrel {
namespace {

// The temporary file to remove when a signal stops the process: its name,
// written before `armed` is set and not changed while it is.
#ifdef _WIN32
wchar_t gTemporary[32768];
#else
char gTemporary[4096];
#endif
volatile std::sig_atomic_t gArmed = 0;

#ifdef _WIN32

int errnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    default:
      return EIO;
  }
}
int lastError() { return errnoOf(GetLastError()); }

std::wstring wide(const std::string& name) { return nativePath(name).wstring(); }

class HandleInput : public InputStream {
 public:
  HandleInput(HANDLE handle, std::uint64_t size) : handle_(handle), size_(size) {}
  ~HandleInput() override { CloseHandle(handle_); }
  int read(std::uint8_t* bytes, std::size_t size, std::size_t& got) override {
    DWORD count = 0;
    const DWORD asked = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!ReadFile(handle_, bytes, asked, &count, nullptr)) {
      // A pipe whose writer has gone has ended.
      if (GetLastError() == ERROR_BROKEN_PIPE) {
        got = 0;
        return 0;
      }
      return lastError();
    }
    got = count;
    return 0;
  }
  std::uint64_t sizeHint() const override { return size_; }

 private:
  HANDLE handle_;
  std::uint64_t size_;
};

class HandleOutput : public OutputStream {
 public:
  explicit HandleOutput(HANDLE handle) : handle_(handle) {}
  ~HandleOutput() override { close(); }
  int write(const char* bytes, std::size_t size) override {
    while (size > 0) {
      DWORD count = 0;
      const DWORD asked = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
      if (!WriteFile(handle_, bytes, asked, &count, nullptr)) return lastError();
      bytes += count;
      size -= count;
    }
    return 0;
  }
  int sync() override { return FlushFileBuffers(handle_) ? 0 : lastError(); }
  int close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return 0;
    const BOOL closed = CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed ? 0 : lastError();
  }

 private:
  HANDLE handle_;
};

BOOL WINAPI removeTemporaryAtSignal(DWORD) {
  // The file was opened to be deleted while open: it goes when the process
  // ends and closes it.
  if (gArmed) DeleteFileW(gTemporary);
  return FALSE;  // the next handler (the default one) ends the process
}

void arm(const std::wstring& name) {
  gArmed = 0;
  if (name.size() >= sizeof gTemporary / sizeof gTemporary[0]) return;
  std::memcpy(gTemporary, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  gArmed = 1;
}

void disarm(const std::wstring& name) {
  if (gArmed && name == gTemporary) gArmed = 0;
}

#else

int lastError() { return errno != 0 ? errno : EIO; }

class FdInput : public InputStream {
 public:
  FdInput(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  ~FdInput() override { ::close(fd_); }
  int read(std::uint8_t* bytes, std::size_t size, std::size_t& got) override {
    for (;;) {
      const ssize_t count = ::read(fd_, bytes, size);
      if (count >= 0) {
        got = static_cast<std::size_t>(count);
        return 0;
      }
      if (errno != EINTR) return lastError();
    }
  }
  std::uint64_t sizeHint() const override { return size_; }

 private:
  int fd_;
  std::uint64_t size_;
};

class FdOutput : public OutputStream {
 public:
  explicit FdOutput(int fd) : fd_(fd) {}
  ~FdOutput() override { close(); }
  int write(const char* bytes, std::size_t size) override {
    while (size > 0) {
      const ssize_t count = ::write(fd_, bytes, size);
      if (count < 0) {
        if (errno == EINTR) continue;
        return lastError();
      }
      bytes += count;
      size -= static_cast<std::size_t>(count);
    }
    return 0;
  }
  int sync() override {
#if defined(__linux__)
    // The data is sent on its way to the disk before the rename, without
    // waiting for it: file systems that keep data before metadata in order
    // (ext4 by default) commit the rename only after the data. Waiting for
    // the disk (fdatasync) took as long again as a conversion of 12 MB of
    // text on the machines where vantrel is measured.
    if (sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE) != 0 && errno != EINVAL &&
        errno != ESPIPE) {
      return lastError();
    }
#endif
    return 0;
  }
  int close() override {
    if (fd_ < 0) return 0;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 || errno == EINTR ? 0 : lastError();
  }

 private:
  int fd_;
};

void removeTemporaryAtSignal(int signal) {
  if (gArmed) unlink(gTemporary);
  // Ended as the signal ends a process, for whoever waits for it.
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void arm(const std::string& name) {
  gArmed = 0;
  if (name.size() >= sizeof gTemporary) return;
  std::memcpy(gTemporary, name.c_str(), name.size() + 1);
  gArmed = 1;
}

void disarm(const std::string& name) {
  if (gArmed && name == gTemporary) gArmed = 0;
}

// Holds back the signals that remove the temporary file while it is made,
// renamed or removed, so that no signal comes between the file and its
// name's being armed or disarmed. The output is opened and put in place
// while no other thread runs.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, signal);
    pthread_sigmask(SIG_BLOCK, &held, &before_);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t before_;
};

// The bytes of memory the machine has; 0 when unknown.
std::uint64_t physicalMemory() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long size = sysconf(_SC_PAGESIZE);
  return pages > 0 && size > 0 ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size) : 0;
}

#endif

}  // namespace

#ifdef _WIN32

int DiskFileSystem::openForReading(const std::string& name, std::unique_ptr<InputStream>& stream) {
  const HANDLE handle = CreateFileW(wide(name).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return lastError();
  std::uint64_t size = 0;
  LARGE_INTEGER length;
  if (GetFileType(handle) == FILE_TYPE_DISK && GetFileSizeEx(handle, &length)) {
    size = static_cast<std::uint64_t>(length.QuadPart);
  }
  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof memory;
  if (GlobalMemoryStatusEx(&memory) && size > memory.ullTotalPhys) {
    CloseHandle(handle);
    return ENOMEM;
  }
  stream = std::make_unique<HandleInput>(handle, size);
  return 0;
}

int DiskFileSystem::info(const std::string& name, NodeInfo& info) {
  info = NodeInfo{};
  const HANDLE handle =
      CreateFileW(wide(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const int error = lastError();
    return error == ENOENT ? 0 : error;
  }
  BY_HANDLE_FILE_INFORMATION file{};
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    info.kind = NodeKind::kOther;
  } else if (GetFileInformationByHandle(handle, &file)) {
    info.kind = (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? NodeKind::kDirectory
                                                                   : NodeKind::kRegular;
    info.device = file.dwVolumeSerialNumber;
    info.inode = std::uint64_t{file.nFileIndexHigh} << 32 | file.nFileIndexLow;
    info.links = file.nNumberOfLinks;
  } else {
    info.kind = NodeKind::kOther;
  }
  CloseHandle(handle);
  return 0;
}

int DiskFileSystem::resolve(const std::string& name, std::string& target) {
  target = name;
  const DWORD attributes = GetFileAttributesW(wide(name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return 0;
  const HANDLE handle = CreateFileW(wide(name).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 0;  // a link to nothing: replaced itself
  wchar_t path[32768];
  const DWORD length = GetFinalPathNameByHandleW(handle, path, 32768, FILE_NAME_NORMALIZED);
  CloseHandle(handle);
  if (length == 0 || length >= 32768) return 0;
  const int size = WideCharToMultiByte(CP_ACP, 0, path, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  BOOL lossy = FALSE;
  WideCharToMultiByte(CP_ACP, 0, path, static_cast<int>(length), narrow.data(), size, nullptr, &lossy);
  if (!lossy) target = narrow;
  return 0;
}

int DiskFileSystem::createTemporary(const std::string& name, const NodeInfo*,
                                    std::unique_ptr<OutputStream>& stream) {
  const std::wstring path = wide(name);
  // Shared for deletion, so that the clean-up at Ctrl-C can delete it open.
  const HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return lastError();
  arm(path);
  stream = std::make_unique<HandleOutput>(handle);
  return 0;
}

int DiskFileSystem::openForWriting(const std::string& name, std::unique_ptr<OutputStream>& stream) {
  const HANDLE handle = CreateFileW(wide(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return lastError();
  stream = std::make_unique<HandleOutput>(handle);
  return 0;
}

int DiskFileSystem::replace(const std::string& from, const std::string& to) {
  const std::wstring path = wide(from);
  if (!MoveFileExW(path.c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return lastError();
  }
  disarm(path);
  return 0;
}

int DiskFileSystem::remove(const std::string& name) {
  const std::wstring path = wide(name);
  const int error = DeleteFileW(path.c_str()) ? 0 : lastError();
  disarm(path);
  return error;
}

void prepareProcess() { SetConsoleCtrlHandler(removeTemporaryAtSignal, TRUE); }

#else

int DiskFileSystem::openForReading(const std::string& name, std::unique_ptr<InputStream>& stream) {
  errno = 0;
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return lastError();
  struct stat status;
  std::uint64_t size = 0;
  if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) size = static_cast<std::uint64_t>(status.st_size);
  // The conversion needs the input in memory, and more: a file larger than
  // the machine's memory cannot be converted.
  const std::uint64_t memory = physicalMemory();
  if (memory != 0 && size > memory) {
    ::close(fd);
    return ENOMEM;
  }
  stream = std::make_unique<FdInput>(fd, size);
  return 0;
}

int DiskFileSystem::info(const std::string& name, NodeInfo& info) {
  info = NodeInfo{};
  struct stat status;
  if (stat(name.c_str(), &status) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? 0 : lastError();
  }
  info.kind = S_ISREG(status.st_mode)   ? NodeKind::kRegular
              : S_ISDIR(status.st_mode) ? NodeKind::kDirectory
                                        : NodeKind::kOther;
  info.device = static_cast<std::uint64_t>(status.st_dev);
  info.inode = static_cast<std::uint64_t>(status.st_ino);
  info.links = static_cast<std::uint32_t>(status.st_nlink);
  info.mode = static_cast<std::uint32_t>(status.st_mode & 07777);
  info.owner = static_cast<std::uint32_t>(status.st_uid);
  info.group = static_cast<std::uint32_t>(status.st_gid);
  return 0;
}

int DiskFileSystem::resolve(const std::string& name, std::string& target) {
  target = name;
  // As many links as the system itself follows before it gives up.
  for (int hop = 0; hop < 40; ++hop) {
    struct stat status;
    if (lstat(target.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return 0;
    std::string link(static_cast<std::size_t>(status.st_size > 0 ? status.st_size : 255) + 1, '\0');
    const ssize_t length = readlink(target.c_str(), link.data(), link.size());
    if (length < 0) return lastError();
    link.resize(static_cast<std::size_t>(length));
    if (link.empty() || link[0] == '/') {
      target = link;
    } else {
      const std::size_t slash = target.find_last_of('/');
      target = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + link;
    }
  }
  return ELOOP;
}

int DiskFileSystem::createTemporary(const std::string& name, const NodeInfo* like,
                                    std::unique_ptr<OutputStream>& stream) {
  const SignalsHeld held;
  errno = 0;
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return lastError();
  arm(name);
  if (like != nullptr) {
    // The earlier file's owner and permission bits; an owner that this user
    // may not give is left as it is.
    [[maybe_unused]] const int owned =
        fchown(fd, static_cast<uid_t>(like->owner), static_cast<gid_t>(like->group));
    fchmod(fd, static_cast<mode_t>(like->mode));
  }
  stream = std::make_unique<FdOutput>(fd);
  return 0;
}

int DiskFileSystem::openForWriting(const std::string& name, std::unique_ptr<OutputStream>& stream) {
  errno = 0;
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return lastError();
  stream = std::make_unique<FdOutput>(fd);
  return 0;
}

int DiskFileSystem::replace(const std::string& from, const std::string& to) {
  const SignalsHeld held;
  if (std::rename(from.c_str(), to.c_str()) != 0) return lastError();
  disarm(from);
  return 0;
}

int DiskFileSystem::remove(const std::string& name) {
  const SignalsHeld held;
  const int error = unlink(name.c_str()) == 0 ? 0 : lastError();
  disarm(name);
  return error;
}

void prepareProcess() {
#ifdef M_ARENA_MAX
  // One heap for all threads: each more would reserve 64 MiB of address
  // space, which a limit (ulimit -v) counts, though the threads allocate
  // little and seldom.
  mallopt(M_ARENA_MAX, 1);
#endif
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      // The lowest free number: this one.
      if (::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd) break;
    }
  }
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction action {};
    // A signal that the caller has the program ignore (nohup, a job in the
    // background) stays ignored.
    if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN) continue;
    action = {};
    action.sa_handler = removeTemporaryAtSignal;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
}

#endif

}  // namespace vantrel
