#include "app/program.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <sched.h>
#endif

#include "app/command_line.h"
#include "app/file_op.h"
#include "app/messages.h"
#include "app/native_path.h"
#include "mml/convert.h"

namespace vantrel {
namespace {

void put(Console& console, const std::string& bytes) {
  console.write(bytes.data(), bytes.size());
  console.flush();
}

void putText(Console& console, const std::string& text) {
  console.writeText(text);
  console.flush();
}

// What perror writes for a file: its name, then the system's reason.
std::string fileError(const std::string& name, int error) {
  return name + ": " + std::strerror(error) + "\n";
}

// The cores this process may run on, fewer than the machine has where a
// container or taskset limits it. On Linux one system call; the standard
// library reads a file instead, which took 40 µs of every run.
unsigned usableCores() {
#if defined(__linux__) && !defined(__EMSCRIPTEN__)
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(CPU_COUNT(&set));
#endif
  return std::thread::hardware_concurrency();
}

}  // namespace

int threadsFromEnvironment() {
  if (const char* setting = std::getenv("VANTREL_THREADS")) {
    char* end = nullptr;
    const long value = std::strtol(setting, &end, 10);
    if (end != setting && *end == '\0' && value >= 1) return static_cast<int>(std::min(value, 256L));
  }
  const unsigned cores = usableCores();
  return cores == 0 ? 1 : static_cast<int>(std::min(cores, 16u));
}

void report(Console& err, const Fault& fault) {
  switch (fault.kind) {
    case FaultKind::kNone:
      return;
    case FaultKind::kBadOption:
    case FaultKind::kBadGrid:
      putText(err, std::string(optionFaultPrefix()) + fault.subject + std::string(faultText(fault.kind)) + "\n");
      return;
    case FaultKind::kSecondSmfName:
    case FaultKind::kNoOutputName:
    case FaultKind::kSecondOutputName:
      putText(err, std::string(optionFaultPrefix()) + std::string(faultText(fault.kind)) + "\n");
      return;
    case FaultKind::kFileError:
      put(err, fileError(fault.subject, fault.error));
      return;
    case FaultKind::kOutputIsInput:
      put(err, fault.subject + ": ");
      putText(err, std::string(faultText(fault.kind)) + "\n");
      return;
    default:
      putText(err, std::string(dataFaultPrefix()) + std::string(faultText(fault.kind)));
      return;
  }
}

int runProgram(std::span<const std::string> arguments, Console& out, Console& err,
               int threads) {
  const CommandLine line = parseCommandLine(arguments);
  if (line.action == CommandLine::Action::kFault) {
    report(err, line.fault);
    return 1;
  }
  if (line.action == CommandLine::Action::kUsage) {
    putText(out, usageText());
    return 0;
  }
  if (line.action == CommandLine::Action::kVersion) {
    put(out, versionText());
    return 0;
  }
  const Options& options = line.options;
  put(out, "SMF = " + options.inputName + "\nMML = " + options.outputName + "\n");

  InputFile input;
  if (int error = input.open(options.inputName)) {
    put(err, fileError(options.inputName, error));
    return 1;
  }
  // Writing onto the input would destroy it before it is converted.
  std::error_code ignored;
  if (std::filesystem::equivalent(nativePath(options.inputName), nativePath(options.outputName),
                                  ignored)) {
    report(err, Fault{FaultKind::kOutputIsInput, 0, options.outputName});
    return 1;
  }
  // A file that is not MIDI at all leaves an existing output as it was.
  const std::span<const std::uint8_t> smf = input.bytes();
  if (const FaultKind fault = checkHeader(smf); fault != FaultKind::kNone) {
    report(err, Fault{fault});
    return 1;
  }
  FileSink output;
  if (const int openError = output.open(options.outputName)) {
    put(err, fileError(options.outputName, openError));
    return 1;
  }
  const Fault fault = convert(smf, options.settings, output, out, Schedule{.threads = threads});
  const int closeError = output.close();
  report(err, fault);
  // A close that fails after a full conversion loses the end of the text.
  const int writeError = output.error() != 0 ? output.error() : !fault ? closeError : 0;
  if (writeError != 0) put(err, fileError(options.outputName, writeError));
  return fault || writeError != 0 ? 1 : 0;
}

}  // namespace vantrel
