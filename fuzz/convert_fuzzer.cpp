// The fuzz target: the whole conversion of one input, in-process.
//
// The options come from the input's first bytes (fuzz/fuzz_input.h) and are
// parsed as the command line is; the rest is the SMF. Faults throw FaultStop
// instead of ending the process, and the MML goes to a sink that counts and
// discards: an input whose output passes kOutputLimit is stopped there, since
// such output is legitimate and only costs time. A conversion that takes long
// without writing much is therefore what the fuzzer's timeout reports.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <streambuf>
#include <vector>

#include "app/fault.h"
#include "app/options.h"
#include "fuzz/fuzz_input.h"
#include "mml/converter.h"
#include "mml/text_writer.h"

namespace {

constexpr std::streamsize kOutputLimit = 256 << 10;

struct OutputLimitReached {};

// Takes every byte and keeps none; past the limit it stops the conversion.
class DiscardingSink : public std::streambuf {
 protected:
  std::streamsize xsputn(const char*, std::streamsize count) override {
    taken_ += count;
    if (taken_ > kOutputLimit) throw OutputLimitReached{};
    return count;
  }
  int_type overflow(int_type c) override {
    xsputn(nullptr, 1);
    return traits_type::not_eof(c);
  }

 private:
  std::streamsize taken_ = 0;
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
  fuzz::parseArguments(input, options);

  DiscardingSink sink;
  fuzz::NullBuffer nothing;
  std::ostream console(&nothing);
  TextWriter output(&sink, "fuzz.mml");
  setFaultFlush([&output] { output.flush(); });
  try {
    Converter converter(options, input.smf, output, console);
    converter.run();
    output.flush();
  } catch (const FaultStop& stop) {
    // Every data fault ends with status 1; anything else is a defect.
    if (stop.status != 1) std::abort();
  } catch (const OutputLimitReached&) {
  }
  setFaultFlush(nullptr);
  return 0;
}
