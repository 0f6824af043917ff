// The round-trip fuzz target: converts one input in-process as the convert
// target does, then has the round-trip checker (tools/roundtrip) read the MML
// back and lay it over what the SMF says. Any difference is a wrong output and
// stops the fuzzer, so this target finds text that is wrong, not only crashes.
//
// The fault message is part of what is checked (a refusal must name the
// file's real fault), so standard error is caught in memory for each input.
// Only the C stream is swapped: sanitizer and fuzzer reports go to the file
// descriptor and are never caught.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/fault.h"
#include "app/options.h"
#include "fuzz/fuzz_input.h"
#include "mml/converter.h"
#include "mml/text_writer.h"
#include "tools/roundtrip/comparison.h"
#include "tools/roundtrip/conversion_options.h"

namespace {

// Longer texts take the checker long to read and add nothing the shorter ones
// do not test; they are converted but not checked.
constexpr std::streamsize kCheckedLimit = 1 << 20;

struct OutputLimitReached {};

class CappedText : public std::stringbuf {
 protected:
  std::streamsize xsputn(const char* s, std::streamsize count) override {
    taken_ += count;
    if (taken_ > kCheckedLimit) throw OutputLimitReached{};
    return std::stringbuf::xsputn(s, count);
  }

 private:
  std::streamsize taken_ = 0;
};


// Points the C library's stderr at memory while it lives.
class CaughtStderr {
 public:
  CaughtStderr() : saved_(stderr) {
    std::FILE* memory = open_memstream(&data_, &size_);
    if (memory != nullptr) stderr = memory;
  }
  ~CaughtStderr() { release(); }
  std::string text() {
    std::fflush(stderr);
    return data_ ? std::string(data_, size_) : std::string();
  }
  void release() {
    if (stderr != saved_) {
      std::fclose(stderr);
      stderr = saved_;
    }
    std::free(data_);
    data_ = nullptr;
  }

 private:
  std::FILE* saved_;
  char* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vantrel::setFaultThrows(true);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantrel;
  const fuzz::FuzzInput input = fuzz::decodeFuzzInput(data, size);

  Options options;
  roundtrip::ConversionOptions checkOptions;
  std::string reason;
  fuzz::parseArguments(input, options);
  if (!roundtrip::parseOptions(input.arguments, checkOptions, reason)) std::abort();

  CappedText mml;
  fuzz::NullBuffer nothing;
  std::ostream console(&nothing);
  TextWriter output(&mml, "fuzz.mml");
  setFaultFlush([&output] { output.flush(); });
  int status = 0;
  std::string error;
  {
    CaughtStderr caught;
    try {
      Converter converter(options, input.smf, output, console);
      converter.run();
      output.flush();
    } catch (const FaultStop& stop) {
      status = stop.status;
    } catch (const OutputLimitReached&) {
      status = -1;
    }
    error = caught.text();
  }
  setFaultFlush(nullptr);
  if (status < 0) return 0;

  const roundtrip::CheckResult result =
      roundtrip::checkConversion(input.smf, checkOptions, mml.str(), status, error);
  if (!result.differences.empty()) {
    std::string arguments;
    for (const std::string& a : input.arguments) arguments += " " + a;
    std::fprintf(stderr, "round trip differs (options:%s, status %d):\n", arguments.c_str(), status);
    for (std::size_t i = 0; i < result.differences.size() && i < 10; ++i) {
      std::fprintf(stderr, "  %s\n", roundtrip::describe(result.differences[i]).c_str());
    }
    std::abort();
  }
  return 0;
}
