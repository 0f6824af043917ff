#include "app/disk_file_system.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#ifdef _WIN32
#include "app/windows_api.h"

#include "app/native_path.h"
#else
#include <fcntl.h>
#include <malloc.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>
#include <vector>

#if defined(__linux__)
#include <linux/magic.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#endif
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
  HandleInput(HANDLE handle, std::uint64_t size, std::string name)
      : handle_(handle), size_(size), name_(std::move(name)) {}
  ~HandleInput() override { CloseHandle(handle_); }
  Fault read(std::uint8_t* bytes, std::size_t size, std::size_t& got) override {
    DWORD count = 0;
    const DWORD asked = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!ReadFile(handle_, bytes, asked, &count, nullptr)) {
      // A pipe whose writer has gone has ended.
      if (GetLastError() == ERROR_BROKEN_PIPE) {
        got = 0;
        return {};
      }
      return fileFault(name_, lastError());
    }
    got = count;
    return {};
  }
  std::uint64_t sizeHint() const override { return size_; }

 private:
  HANDLE handle_;
  std::uint64_t size_;
  std::string name_;
};

class HandleOutput : public OutputStream {
 public:
  HandleOutput(HANDLE handle, std::string name) : handle_(handle), name_(std::move(name)) {}
  ~HandleOutput() override { close(); }
  Fault write(const char* bytes, std::size_t size) override {
    while (size > 0) {
      DWORD count = 0;
      const DWORD asked = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
      if (!WriteFile(handle_, bytes, asked, &count, nullptr)) return fileFault(name_, lastError());
      bytes += count;
      size -= count;
    }
    return {};
  }
  Fault sync() override { return FlushFileBuffers(handle_) ? Fault{} : fileFault(name_, lastError()); }
  Fault close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return {};
    const BOOL closed = CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed ? Fault{} : fileFault(name_, lastError());
  }

 private:
  HANDLE handle_;
  std::string name_;
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
  FdInput(int fd, std::uint64_t size, std::string name) : fd_(fd), size_(size), name_(std::move(name)) {}
  ~FdInput() override { ::close(fd_); }
  Fault read(std::uint8_t* bytes, std::size_t size, std::size_t& got) override {
    for (;;) {
      const ssize_t count = ::read(fd_, bytes, size);
      if (count >= 0) {
        got = static_cast<std::size_t>(count);
        return {};
      }
      if (errno != EINTR) return fileFault(name_, lastError());
    }
  }
  std::uint64_t sizeHint() const override { return size_; }

 private:
  int fd_;
  std::uint64_t size_;
  std::string name_;
};

class FdOutput : public OutputStream {
 public:
  FdOutput(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
  ~FdOutput() override { close(); }
  Fault write(const char* bytes, std::size_t size) override {
    while (size > 0) {
      const ssize_t count = ::write(fd_, bytes, size);
      if (count < 0) {
        if (errno == EINTR) continue;
        return fileFault(name_, lastError());
      }
      bytes += count;
      size -= static_cast<std::size_t>(count);
    }
    return {};
  }
  Fault sync() override {
#if defined(__linux__)
    // The data is sent on its way to the disk before the rename, without
    // waiting for it: file systems that keep data before metadata in order
    // (ext4 by default) commit the rename only after the data. Waiting for
    // the disk (fdatasync) took as long again as a conversion of 12 MB of
    // text on the machines where vantrel is measured.
    if (sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE) != 0 && errno != EINVAL &&
        errno != ESPIPE) {
      return fileFault(name_, lastError());
    }
#endif
    return {};
  }
  Fault close() override {
    if (fd_ < 0) return {};
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 || errno == EINTR ? Fault{} : fileFault(name_, lastError());
  }

 private:
  int fd_;
  std::string name_;
};

// The signals whose default action ends the process, which remove the
// temporary file first; the first ones come at any time from outside and are
// held back while the file is made, renamed or removed. SIGPIPE and SIGXFSZ
// are ignored instead: a write fails with an error.
constexpr int kSignalsFromOutside[] = {
    SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};
constexpr int kCrashSignals[] = {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS, SIGTRAP};

// What each signal did before the program set its own: put back before the
// signal is raised again, so that the process ends as that signal ends it
// (or a sanitizer's handler reports the crash).
#if defined(SIGRTMAX)
constexpr int kLastSignal = 65;
#else
constexpr int kLastSignal = 32;
#endif
struct sigaction gBefore[kLastSignal + 1];

void removeTemporaryAtSignal(int signal, siginfo_t* info, void*) {
  const int saved = errno;
  if (gArmed) unlink(gTemporary);
  sigaction(signal, &gBefore[signal], nullptr);
  // A fault of the program's own comes again when this handler returns, now
  // to the handler before; a signal sent to it is raised again, and delivered
  // when this handler returns, being held until then.
  if (info == nullptr || info->si_code <= 0) raise(signal);
  errno = saved;
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

// Holds back the signals from outside while the temporary file is made,
// renamed or removed, so that no signal comes between the file and its
// name's being armed or disarmed. The output is opened and put in place
// while no other thread runs.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : kSignalsFromOutside) sigaddset(&held, signal);
#if defined(SIGRTMIN) && defined(SIGRTMAX)
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) sigaddset(&held, signal);
#endif
    pthread_sigmask(SIG_BLOCK, &held, &before_);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t before_;
};

// Removes the temporary file at `signal` unless the caller has the program
// ignore that signal (nohup, a job in the background): then it stays
// ignored.
void answer(int signal) {
  if (signal <= 0 || signal > kLastSignal) return;
  struct sigaction before {};
  if (sigaction(signal, nullptr, &before) != 0 || before.sa_handler == SIG_IGN) return;
  gBefore[signal] = before;
  struct sigaction action {};
  action.sa_sigaction = removeTemporaryAtSignal;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

// The bytes of memory the machine has; 0 when unknown.
std::uint64_t physicalMemory() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long size = sysconf(_SC_PAGESIZE);
  return pages > 0 && size > 0 ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size) : 0;
}

// Names of streams: resolve() gives "/dev/fd/N" for the process's own
// descriptor N, however the user spelled it, and that name is written
// through the descriptor itself.
constexpr std::string_view kDescriptorFolder = "/dev/fd";

bool allDigits(std::string_view text) {
  return !text.empty() && text.size() < 10 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The descriptor that `name` ("/dev/fd/N") stands for, or -1.
int descriptorOf(const std::string& name) {
  if (name.size() <= kDescriptorFolder.size() + 1 || name.compare(0, kDescriptorFolder.size(), kDescriptorFolder) != 0 ||
      name[kDescriptorFolder.size()] != '/') {
    return -1;
  }
  const std::string_view number = std::string_view(name).substr(kDescriptorFolder.size() + 1);
  return allDigits(number) ? std::stoi(std::string(number)) : -1;
}

// Whether `folder` (a name without links) lists this process's descriptors:
// /proc/PID/fd, /proc/PID/task/TID/fd, or /dev/fd where it is no link.
bool isOwnDescriptorFolder(const std::string& folder) {
  if (folder == kDescriptorFolder) return true;
  const std::string own = "/proc/" + std::to_string(getpid()) + "/";
  if (folder.compare(0, own.size(), own) != 0) return false;
  const std::string_view rest = std::string_view(folder).substr(own.size());
  if (rest == "fd") return true;
  constexpr std::string_view kTask = "task/";
  if (rest.size() < kTask.size() + 4 || rest.substr(0, kTask.size()) != kTask ||
      rest.substr(rest.size() - 3) != "/fd") {
    return false;
  }
  return allDigits(rest.substr(kTask.size(), rest.size() - kTask.size() - 3));
}

// Whether `folder` lies on the process file system, whose links to open
// files only the system itself can follow (their text is no name).
bool onProcessFileSystem(const char* folder) {
#if defined(__linux__)
  struct statfs system;
  return statfs(folder, &system) == 0 && system.f_type == PROC_SUPER_MAGIC;
#else
  (void)folder;
  return false;
#endif
}

std::string joined(const std::string& folder, const std::string& part) {
  if (folder.empty()) return part;
  return folder.back() == '/' ? folder + part : folder + "/" + part;
}

// `folder` without its last component, as ".." leaves it.
void goUp(std::string& folder) {
  if (folder == "/") return;
  const std::size_t slash = folder.find_last_of('/');
  const std::string last = slash == std::string::npos ? folder : folder.substr(slash + 1);
  if (folder.empty() || last == "..") {
    folder = joined(folder, "..");
  } else {
    folder = slash == std::string::npos ? std::string() : folder.substr(0, slash == 0 ? 1 : slash);
  }
}

// Puts the components of `path` on `rest`, the first on top.
void pushComponents(const std::string& path, std::vector<std::string>& rest) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t slash = std::min(path.find('/', start), path.size());
    if (slash > start) parts.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  rest.insert(rest.end(), parts.rbegin(), parts.rend());
}

// The text of the link `name` (whose size `status` gave).
int readLink(const std::string& name, const struct stat& status, std::string& text) {
  std::size_t size = status.st_size > 0 ? static_cast<std::size_t>(status.st_size) + 1 : 256;
  for (;;) {
    text.assign(size, '\0');
    const ssize_t length = readlink(name.c_str(), text.data(), text.size());
    if (length < 0) return lastError();
    if (static_cast<std::size_t>(length) < size) {
      text.resize(static_cast<std::size_t>(length));
      return 0;
    }
    size *= 2;  // grown since it was seen
  }
}

// Gives the file `fd` the owner, group, extended attributes (the access
// list among them) and then the permission bits of the file `like`; false
// when any of them could not be given.
bool giveLikeness(int fd, const std::string& like) {
  struct stat earlier;
  if (stat(like.c_str(), &earlier) != 0) return false;
  // Apart: a user who may not give the file away may still give it a group
  // of theirs.
  bool kept = true;
  if (fchown(fd, earlier.st_uid, static_cast<gid_t>(-1)) != 0) kept = false;
  if (fchown(fd, static_cast<uid_t>(-1), earlier.st_gid) != 0) kept = false;
#if defined(__linux__)
  // A folder's default access list gives a new file entries that the earlier
  // file may not have had.
  if (fremovexattr(fd, "system.posix_acl_access") != 0 && errno != ENODATA && errno != ENOTSUP) {
    kept = false;
  }
  ssize_t size = llistxattr(like.c_str(), nullptr, 0);
  if (size < 0 && errno != ENOTSUP) kept = false;
  if (size > 0) {
    std::string names(static_cast<std::size_t>(size), '\0');
    size = llistxattr(like.c_str(), names.data(), names.size());
    if (size < 0) kept = false;
    names.resize(size < 0 ? 0 : static_cast<std::size_t>(size));
    for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
      const char* attribute = names.c_str() + at;
      std::string value(256, '\0');
      ssize_t length = lgetxattr(like.c_str(), attribute, value.data(), value.size());
      if (length < 0 && errno == ERANGE) {
        length = lgetxattr(like.c_str(), attribute, nullptr, 0);
        if (length >= 0) {
          value.assign(static_cast<std::size_t>(length), '\0');
          length = lgetxattr(like.c_str(), attribute, value.data(), value.size());
        }
      }
      if (length < 0 || fsetxattr(fd, attribute, value.data(), static_cast<std::size_t>(length), 0) != 0) {
        kept = false;
      }
    }
  }
#endif
  if (fchmod(fd, earlier.st_mode & 07777) != 0) kept = false;
  struct stat now;
  if (fstat(fd, &now) != 0 || now.st_uid != earlier.st_uid || now.st_gid != earlier.st_gid ||
      (now.st_mode & 07777) != (earlier.st_mode & 07777)) {
    kept = false;
  }
  return kept;
}

#endif

}  // namespace

#ifdef _WIN32

Fault DiskFileSystem::openForReading(const std::string& name, std::unique_ptr<InputStream>& stream) {
  const HANDLE handle = CreateFileW(wide(name).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return fileFault(name, lastError());
  std::uint64_t size = 0;
  LARGE_INTEGER length;
  if (GetFileType(handle) == FILE_TYPE_DISK && GetFileSizeEx(handle, &length)) {
    size = static_cast<std::uint64_t>(length.QuadPart);
  }
  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof memory;
  if (GlobalMemoryStatusEx(&memory) && size > memory.ullTotalPhys) {
    CloseHandle(handle);
    return fileFault(name, ENOMEM);
  }
  stream = std::make_unique<HandleInput>(handle, size, name);
  return {};
}

Fault DiskFileSystem::info(const std::string& name, NodeInfo& info) {
  info = NodeInfo{};
  const HANDLE handle =
      CreateFileW(wide(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const int error = lastError();
    return error == ENOENT ? Fault{} : fileFault(name, error);
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
    info.writable = !(file.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
  } else {
    info.kind = NodeKind::kOther;
  }
  CloseHandle(handle);
  return {};
}

Fault DiskFileSystem::resolve(const std::string& name, std::string& target) {
  target = name;
  const DWORD attributes = GetFileAttributesW(wide(name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return {};
  const HANDLE handle = CreateFileW(wide(name).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {};  // a link to nothing: replaced itself
  wchar_t path[32768];
  const DWORD length = GetFinalPathNameByHandleW(handle, path, 32768, FILE_NAME_NORMALIZED);
  CloseHandle(handle);
  if (length == 0 || length >= 32768) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, path, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  BOOL lossy = FALSE;
  WideCharToMultiByte(CP_ACP, 0, path, static_cast<int>(length), narrow.data(), size, nullptr, &lossy);
  if (!lossy) target = narrow;
  return {};
}

Fault DiskFileSystem::createTemporary(const std::string& name, const std::string*,
                                      std::unique_ptr<OutputStream>& stream, bool& kept) {
  const std::wstring path = wide(name);
  // Shared for deletion, so that the clean-up at Ctrl-C can delete it open.
  // Its access list is the folder's, as the earlier file's usually is.
  const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return fileFault(name, lastError());
  arm(path);
  kept = true;
  stream = std::make_unique<HandleOutput>(handle, name);
  return {};
}

Fault DiskFileSystem::openForWriting(const std::string& name, std::unique_ptr<OutputStream>& stream) {
  const HANDLE handle = CreateFileW(wide(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return fileFault(name, lastError());
  stream = std::make_unique<HandleOutput>(handle, name);
  return {};
}

Fault DiskFileSystem::replace(const std::string& from, const std::string& to) {
  const std::wstring path = wide(from);
  if (!MoveFileExW(path.c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return fileFault(to, lastError());
  }
  disarm(path);
  return {};
}

Fault DiskFileSystem::remove(const std::string& name) {
  const std::wstring path = wide(name);
  const int error = DeleteFileW(path.c_str()) ? 0 : lastError();
  disarm(path);
  return fileResult(name, error);
}

void prepareProcess() { SetConsoleCtrlHandler(removeTemporaryAtSignal, TRUE); }

#else

Fault DiskFileSystem::openForReading(const std::string& name, std::unique_ptr<InputStream>& stream) {
  errno = 0;
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fileFault(name, lastError());
  struct stat status;
  std::uint64_t size = 0;
  if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) size = static_cast<std::uint64_t>(status.st_size);
  // The conversion needs the input in memory, and more: a file larger than
  // the machine's memory cannot be converted.
  const std::uint64_t memory = physicalMemory();
  if (memory != 0 && size > memory) {
    ::close(fd);
    return fileFault(name, ENOMEM);
  }
  stream = std::make_unique<FdInput>(fd, size, name);
  return {};
}

Fault DiskFileSystem::info(const std::string& name, NodeInfo& info) {
  info = NodeInfo{};
  struct stat status;
  const int descriptor = descriptorOf(name);
  const int result = descriptor >= 0 ? fstat(descriptor, &status) : stat(name.c_str(), &status);
  if (result != 0) {
    return errno == ENOENT || errno == ENOTDIR ? Fault{} : fileFault(name, lastError());
  }
  info.kind = descriptor >= 0              ? NodeKind::kStream
              : S_ISREG(status.st_mode)   ? NodeKind::kRegular
              : S_ISDIR(status.st_mode)   ? NodeKind::kDirectory
                                          : NodeKind::kOther;
  info.device = static_cast<std::uint64_t>(status.st_dev);
  info.inode = static_cast<std::uint64_t>(status.st_ino);
  info.links = static_cast<std::uint32_t>(status.st_nlink);
  info.mode = static_cast<std::uint32_t>(status.st_mode & 07777);
  info.owner = static_cast<std::uint32_t>(status.st_uid);
  info.group = static_cast<std::uint32_t>(status.st_gid);
  info.writable = descriptor < 0 && faccessat(AT_FDCWD, name.c_str(), W_OK, AT_EACCESS) == 0;
  return {};
}

Fault DiskFileSystem::resolve(const std::string& name, std::string& target) {
  // Walked a component at a time, as the system walks a name: `done` holds
  // no link, `rest` what is still to walk (a link's text put on top of it).
  std::vector<std::string> rest;
  pushComponents(name, rest);
  std::string done = !name.empty() && name[0] == '/' ? "/" : "";
  int links = 0;
  while (!rest.empty()) {
    std::string part = std::move(rest.back());
    rest.pop_back();
    if (part == ".") continue;
    if (part == "..") {
      goUp(done);
      continue;
    }
    std::string path = joined(done, part);
    if (allDigits(part) && isOwnDescriptorFolder(done)) {
      if (rest.empty()) {
        target = std::string(kDescriptorFolder) + "/" + part;
        return {};
      }
    }
    struct stat link;
    if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
      // No link, or nothing yet: what it is, the calls on it will say.
      done = std::move(path);
      continue;
    }
    // As many links as the system follows in one name, and no more.
    if (++links > 40) return fileFault(name, ELOOP);
    const std::string folderName = done.empty() ? "." : done;
    // The system's rule for links in a folder where anyone may make a file
    // (/tmp): followed only when they are this user's or the folder owner's,
    // so that no other user can point them at a file of this one's.
    struct stat folder;
    if (stat(folderName.c_str(), &folder) == 0 &&
        (folder.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH) &&
        link.st_uid != folder.st_uid && link.st_uid != geteuid()) {
      return fileFault(name, EACCES);
    }
    if (onProcessFileSystem(folderName.c_str()) &&
        !(done == "/proc" && (part == "self" || part == "thread-self"))) {
      // Another process's open file: the system opens it as it opens the
      // name.
      for (auto next = rest.rbegin(); next != rest.rend(); ++next) path = joined(path, *next);
      target = std::move(path);
      return {};
    }
    std::string text;
    if (const int error = readLink(path, link, text)) return fileFault(name, error);
    if (text.empty()) return fileFault(name, ENOENT);
    if (text[0] == '/') done = "/";
    pushComponents(text, rest);
  }
  target = done.empty() ? "." : done;
  if (name.size() > 1 && name.back() == '/' && target.back() != '/') target += '/';
  return {};
}

Fault DiskFileSystem::createTemporary(const std::string& name, const std::string* like,
                                      std::unique_ptr<OutputStream>& stream, bool& kept) {
  const SignalsHeld held;
  errno = 0;
  // Private to its owner until it is like the earlier file; a new output
  // has the bits of any new file (0666 less the umask, or what the folder's
  // default access list gives) from the start.
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        like != nullptr ? 0600 : 0666);
  if (fd < 0) return fileFault(name, lastError());
  arm(name);
  kept = like == nullptr || giveLikeness(fd, *like);
  stream = std::make_unique<FdOutput>(fd, name);
  return {};
}

Fault DiskFileSystem::openForWriting(const std::string& name, std::unique_ptr<OutputStream>& stream) {
  errno = 0;
  // A stream is written where it stands: an appended log stays appended to,
  // a pipe or a socket is written, a file deleted meanwhile stays deleted.
  const int descriptor = descriptorOf(name);
  const int fd = descriptor >= 0
                     ? fcntl(descriptor, F_DUPFD_CLOEXEC, 3)
                     : ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return fileFault(name, lastError());
  stream = std::make_unique<FdOutput>(fd, name);
  return {};
}

Fault DiskFileSystem::replace(const std::string& from, const std::string& to) {
  const SignalsHeld held;
  if (std::rename(from.c_str(), to.c_str()) != 0) return fileFault(to, lastError());
  disarm(from);
  return {};
}

Fault DiskFileSystem::remove(const std::string& name) {
  const SignalsHeld held;
  const int error = unlink(name.c_str()) == 0 ? 0 : lastError();
  disarm(name);
  return fileResult(name, error);
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
  for (const int signal : kSignalsFromOutside) answer(signal);
  for (const int signal : kCrashSignals) answer(signal);
#if defined(SIGRTMIN) && defined(SIGRTMAX)
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) answer(signal);
#endif
}

#endif

}  // namespace vantrel
