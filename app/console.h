// Console: one of the program's two output streams (standard output or
// standard error) as the program writes to it.
//
// The program's own texts (the usage text and the messages, code page 932)
// go through writeText; everything else (file names as the user typed them,
// the bar structure listing) through write. A console on a file or a pipe
// takes both as the bytes they are; a console that a person reads may show
// the texts in its own encoding instead, and is told in which language.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "util/sink.h"

namespace vantrel {

// Who reads a console, and so which of the program's texts it is given.
enum class Reader : std::uint8_t {
  kRecord,    // a file or a pipe: the texts the program has always written
  kJapanese,  // a person at a terminal, in Japanese
  kEnglish,   // a person at a terminal, in English (plain ASCII)
};

class Console : public Sink {
 public:
  explicit Console(Reader reader = Reader::kRecord) : reader_(reader) {}

  Reader reader() const { return reader_; }

  // The program's own text, code page 932; by default its bytes as they are.
  virtual void writeText(std::string_view text) { write(text.data(), text.size()); }

  // The errno of the first write that the console did not take (a closed
  // pipe, a full disk), 0 when it took all. A console that fails does not
  // stop the conversion; the program reports it when the MML is written.
  int error() const { return error_; }

 protected:
  // Keeps the reason of a failure; returns it, or kNone when `ok`.
  Fault note(bool ok);

 private:
  Reader reader_;
  int error_ = 0;
};

// A C stream (stdout or stderr), bytes as they are.
class StreamConsole : public Console {
 public:
  explicit StreamConsole(std::FILE* stream, Reader reader = Reader::kRecord)
      : Console(reader), stream_(stream) {}
  Fault write(const char* bytes, std::size_t size) override;
  Fault flush() override;

 private:
  std::FILE* stream_;
};

// Keeps what is written, bytes as they are.
class StringConsole : public Console {
 public:
  using Console::Console;
  std::string text;
  Fault write(const char* bytes, std::size_t size) override {
    text.append(bytes, size);
    return {};
  }
};

// The console for `stream` (stdout or stderr): on a terminal, one that shows
// the program's texts in a form the terminal reads (UTF-8 where the locale
// asks for it; Unicode on a Windows console) and reads them in the user's
// language; otherwise a StreamConsole, so that a file or a pipe gets the
// bytes the program has always written.
//
// The language: Japanese where the locale is Japanese or names no language
// (C.UTF-8), English where it names another; English also where the
// terminal's character set shows no Japanese (C, POSIX, ISO-8859-1). The
// language is the first of LC_ALL, LC_MESSAGES and LANG that is set, or the
// first of LANGUAGE's list where that is set and the locale is not C; the
// character set the first of LC_ALL, LC_CTYPE and LANG. On Windows, the
// user's interface language.
std::unique_ptr<Console> openConsole(std::FILE* stream);

// Call before anything is written to standard output or standard error. On
// Windows the C runtime would add a CR before every line feed of a text-mode
// stream, so both streams are switched to binary mode there; elsewhere the
// streams never translate and this does nothing.
void setBinaryConsole();

}  // namespace vantrel
