// The round-trip fuzz target: converts one input in-process as the convert
// target does, then has the round-trip checker (tools/roundtrip) read the MML
// back and lay it over what the SMF says. Any difference is a wrong output and
// stops the fuzzer, so this target finds text that is wrong, not only crashes.
// The fault message is part of what is checked: a refusal must name the
// file's real fault.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_input.h"
#include "mml/convert.h"
#include "tools/roundtrip/comparison.h"
#include "tools/roundtrip/conversion_options.h"

namespace {

// Longer texts take the checker long to read and add nothing the shorter ones
// do not test; they are converted but not checked.
constexpr std::size_t kCheckedLimit = 1 << 20;

// Keeps the text up to the limit, and refuses the write that passes it.
class CappedText : public vantrel::StringSink {
 public:
  bool refused = false;
  vantrel::Fault write(const char* bytes, std::size_t size) override {
    if (text.size() + size > kCheckedLimit) {
      refused = true;
      return vantrel::Fault(vantrel::FaultKind::kFileError, EFBIG);
    }
    return StringSink::write(bytes, size);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantrel;
  const fuzz::FuzzInput input = fuzz::decodeFuzzInput(data, size);
  const Settings settings = fuzz::settingsOf(input);
  roundtrip::ConversionOptions checkOptions;
  std::string reason;
  if (!roundtrip::parseOptions(input.arguments, checkOptions, reason)) std::abort();

  CappedText mml;
  StringSink console;
  const Fault fault = convert(input.smf, settings, mml, console, fuzz::scheduleOf(input));
  if (mml.refused) return 0;  // past the checked length
  // The message as the program reports the fault: a grid refused with the
  // option's text, a fault of the data after its prefix.
  const int status = fault ? 1 : 0;
  std::string error;
  if (fault.kind == FaultKind::kBadGrid) {
    error = std::string(optionFaultPrefix()) + fuzz::gridArgument(input) +
            std::string(faultText(fault.kind)) + "\n";
  } else if (fault) {
    error = dataFaultMessage(fault.kind);
  }

  const roundtrip::CheckResult result =
      roundtrip::checkConversion(input.smf, checkOptions, mml.text, status, error, console.text);
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
