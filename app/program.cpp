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

// Inputs from this size on have their output opened aside (see runProgram):
// the output of a smaller one opens in less time than a thread takes to
// start.
constexpr std::size_t kOpenAsideFrom = std::size_t{1} << 20;

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

int runProgram(std::span<const std::string> arguments, Console& out, Console& err,
               int threads) {
  const CommandLine line = parseCommandLine(arguments);
  if (line.action == CommandLine::Action::kFault) {
    putText(err, line.fault);
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
    put(err, options.outputName + ": ");
    putText(err, std::string(messages::kOutputIsInput) + "\n");
    return 1;
  }
  // A file that is not MIDI at all leaves an existing output as it was.
  const std::span<const std::uint8_t> smf = input.bytes();
  if (const char* fault = checkHeader(smf)) {
    putText(err, dataFaultMessage(fault));
    return 1;
  }
  Settings settings = options.settings;
  settings.threads = threads;
  // Opening an existing output empties it, which takes time in proportion to
  // its length (4 ms for 12 MB on the machines vantrel is measured on): the
  // output of a big file is opened on a thread of its own while the file is
  // walked. What reaches the console is the same either way: the walk writes
  // nothing, and a failed open ends the run before the listing.
  FileSink output;
  int openError = 0;
  std::thread opener;
  if (threads > 1 && smf.size() >= kOpenAsideFrom) {
    try {
      opener = std::thread([&] { openError = output.open(options.outputName); });
    } catch (const std::system_error&) {
      // No thread to be had: opened below.
    }
  }
  if (!opener.joinable()) openError = output.open(options.outputName);
  const WalkedSmf walked = walkSmf(smf, settings);
  if (opener.joinable()) opener.join();
  if (openError != 0) {
    put(err, fileError(options.outputName, openError));
    return 1;
  }

  const Outcome outcome = writeMml(walked, output, out);
  const int closeError = output.close();
  if (outcome.fault != nullptr) putText(err, dataFaultMessage(outcome.fault));
  // A close that fails after a full conversion loses the end of the text.
  const int writeError = outcome.writeError != 0 ? outcome.writeError
                         : outcome.ok()          ? closeError
                                                 : 0;
  if (writeError != 0) put(err, fileError(options.outputName, writeError));
  return outcome.fault != nullptr || writeError != 0 ? 1 : 0;
}

}  // namespace vantrel
