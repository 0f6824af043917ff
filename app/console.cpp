#include "app/console.h"

#include <cerrno>

#include "app/cp932.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include "app/windows_api.h"
#else
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#endif

namespace vantrel {

Fault Console::note(bool ok) {
  if (ok) return {};
  if (error_ == 0) error_ = errno != 0 ? errno : EIO;
  return Fault(FaultKind::kFileError, error_);
}

Fault StreamConsole::write(const char* bytes, std::size_t size) {
  errno = 0;
  return note(std::fwrite(bytes, 1, size, stream_) == size);
}

Fault StreamConsole::flush() {
  errno = 0;
  return note(std::fflush(stream_) == 0);
}

namespace {

#ifdef _WIN32

// A Windows console: everything is written as UTF-16 with WriteConsoleW, so
// that it shows whatever the console's code page. Names come from the
// command line in the ANSI code page; the program's texts are code page 932.
class WindowsConsole : public Console {
 public:
  explicit WindowsConsole(HANDLE handle) : handle_(handle) {}
  Fault write(const char* bytes, std::size_t size) override {
    errno = 0;
    return note(writeWide(CP_ACP, std::string_view(bytes, size)));
  }
  void writeText(std::string_view text) override {
    errno = 0;
    note(writeWide(CP_UTF8, cp932ToUtf8(text)));
  }

 private:
  bool writeWide(UINT codePage, std::string_view text) {
    if (text.empty()) return true;
    const int size = static_cast<int>(text.size());
    const int wideSize = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), wideSize);
    DWORD written = 0;
    return WriteConsoleW(handle_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) &&
           written == wide.size();
  }
  HANDLE handle_;
};

#else

// The character set the locale settings name, as the C library would choose
// it: the first of LC_ALL, LC_CTYPE and LANG that is set.
bool localeIsUtf8() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    std::string set;
    for (const char* p = value; *p != '\0'; ++p) {
      if (*p != '-') set += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    }
    return set.find("utf8") != std::string::npos;
  }
  return false;
}

// A terminal whose locale reads UTF-8: the program's texts are converted;
// names, typed in that same encoding, are written as they are.
class Utf8TerminalConsole : public StreamConsole {
 public:
  using StreamConsole::StreamConsole;
  void writeText(std::string_view text) override {
    const std::string utf8 = cp932ToUtf8(text);
    write(utf8.data(), utf8.size());
  }
};

#endif

}  // namespace

std::unique_ptr<Console> openConsole(std::FILE* stream) {
#ifdef _WIN32
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
    return std::make_unique<WindowsConsole>(handle);
  }
#else
  if (isatty(fileno(stream)) && localeIsUtf8()) return std::make_unique<Utf8TerminalConsole>(stream);
#endif
  return std::make_unique<StreamConsole>(stream);
}

void setBinaryConsole() {
#ifdef _WIN32
  // Failure leaves text mode, which changes only line ends; nothing to report.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

}  // namespace vantrel
