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
#include <initializer_list>
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
  WindowsConsole(HANDLE handle, Reader reader) : Console(reader), handle_(handle) {}
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

Reader windowsReader() {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? Reader::kJapanese
                                                                    : Reader::kEnglish;
}

#else

// How a terminal shows the program's code page 932 texts.
enum class Encoding {
  kAscii,  // it shows no Japanese: only English is written to it
  kCp932,  // the bytes as they are
  kUtf8,
  kEucJp,
};

// The first of the environment variables `names` that is set and not empty;
// "" when none is.
std::string_view firstSetting(std::initializer_list<const char*> names) {
  for (const char* name : names) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

std::string lowered(std::string_view text, bool keepPunctuation) {
  std::string out;
  for (char c : text) {
    if (!keepPunctuation && (c == '-' || c == '_')) continue;
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

// A locale name is language[_territory][.codeset][@modifier].
std::string languageOf(std::string_view locale) {
  return lowered(locale.substr(0, locale.find_first_of("_.@")), true);
}

Encoding encodingOf(std::string_view locale) {
  const std::size_t dot = locale.find('.');
  if (dot == std::string_view::npos) {
    // Without a codeset a Japanese locale is EUC-JP, as the C library has it.
    return languageOf(locale) == "ja" ? Encoding::kEucJp : Encoding::kAscii;
  }
  const std::string set = lowered(locale.substr(dot + 1, locale.find('@', dot) - dot - 1), false);
  if (set == "utf8") return Encoding::kUtf8;
  if (set == "sjis" || set == "shiftjis" || set == "cp932" || set == "windows31j") {
    return Encoding::kCp932;
  }
  if (set == "eucjp" || set == "ujis") return Encoding::kEucJp;
  return Encoding::kAscii;
}

Reader readerOf(std::string_view messages) {
  const std::string language = languageOf(messages);
  const bool namesNone = language.empty() || language == "c" || language == "posix";
  if (!namesNone) {
    // LANGUAGE's list of preferences; the first entry decides.
    const std::string_view preferred = firstSetting({"LANGUAGE"});
    const std::string_view first = preferred.substr(0, preferred.find(':'));
    if (!first.empty()) return languageOf(first) == "ja" ? Reader::kJapanese : Reader::kEnglish;
  }
  return namesNone || language == "ja" ? Reader::kJapanese : Reader::kEnglish;
}

// A terminal: the program's texts in its encoding; names, typed in that same
// encoding, as they are.
class TerminalConsole : public StreamConsole {
 public:
  TerminalConsole(std::FILE* stream, Reader reader, Encoding encoding)
      : StreamConsole(stream, reader), encoding_(encoding) {}
  void writeText(std::string_view text) override {
    if (encoding_ == Encoding::kUtf8 || encoding_ == Encoding::kEucJp) {
      const std::string shown = encoding_ == Encoding::kUtf8 ? cp932ToUtf8(text) : cp932ToEucJp(text);
      write(shown.data(), shown.size());
    } else {
      write(text.data(), text.size());
    }
  }

 private:
  Encoding encoding_;
};

std::unique_ptr<Console> terminalConsole(std::FILE* stream) {
  const Encoding encoding = encodingOf(firstSetting({"LC_ALL", "LC_CTYPE", "LANG"}));
  Reader reader = readerOf(firstSetting({"LC_ALL", "LC_MESSAGES", "LANG"}));
  if (encoding == Encoding::kAscii) reader = Reader::kEnglish;
  return std::make_unique<TerminalConsole>(stream, reader, encoding);
}

#endif

}  // namespace

std::unique_ptr<Console> openConsole(std::FILE* stream) {
#ifdef _WIN32
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
    return std::make_unique<WindowsConsole>(handle, windowsReader());
  }
#else
  if (isatty(fileno(stream))) return terminalConsole(stream);
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
