// The fuzz target: the whole conversion of one input, in-process.
//
// The options come from the input's first bytes (fuzz/fuzz_input.h) and are
// parsed as the command line is; the rest is the SMF. The MML goes to a sink
// that counts and discards: past kOutputLimit it refuses the write, which
// stops the conversion, since such output is legitimate and only costs time.
// A conversion that takes long without writing much is therefore what the
// fuzzer's timeout reports.

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "mml/convert.h"

namespace {

constexpr std::size_t kOutputLimit = 256 << 10;

// Takes every byte and keeps none, up to the limit.
class DiscardingSink : public vantrel::Sink {
 public:
  vantrel::Fault write(const char*, std::size_t size) override {
    taken_ += size;
    if (taken_ <= kOutputLimit) return {};
    return vantrel::Fault(vantrel::FaultKind::kFileError, EFBIG);
  }

 private:
  std::size_t taken_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantrel;
  const fuzz::FuzzInput input = fuzz::decodeFuzzInput(data, size);
  const Settings settings = fuzz::settingsOf(input);
  DiscardingSink mml;
  NullSink console;
  // A fault is a value like any other outcome: what is sought here is a
  // crash, a hang or undefined behaviour on the way to it.
  convert(input.smf, settings, mml, console, fuzz::scheduleOf(input));
  return 0;
}
