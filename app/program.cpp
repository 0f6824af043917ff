#include "app/program.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <thread>
#include <vector>

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <sched.h>
#endif

#include "app/command_line.h"
#include "app/files.h"
#include "app/option_texts.h"
#include "app/terminal_messages.h"
#include "mml/convert.h"

namespace vantrel {
namespace {

void put(Console& console, const std::string& bytes) {
  console.write(bytes.data(), bytes.size());
  console.flush();
}

void putText(Console& console, std::string_view text) {
  console.writeText(text);
  console.flush();
}

// The message of `fault` on `err`: the program's own texts (converted on a
// terminal that reads another encoding) and the names as the user gave them.
// A person at a terminal is told what was refused and what was expected.
void report(Console& err, const Fault& fault, const Refusal& refusal = {}) {
  if (err.reader() != Reader::kRecord && reportToPerson(err, fault, refusal)) return;
  const std::string text(faultText(fault.kind));
  switch (fault.kind) {
    case FaultKind::kNone:
      return;
    case FaultKind::kBadOption:
      putText(err, std::string(optionFaultPrefix()) + fault.subject + "\n");
      return;
    case FaultKind::kBadGrid:
    case FaultKind::kBadList:
    case FaultKind::kNoSuchTrack:
    case FaultKind::kNoSuchChannel:
    case FaultKind::kNothingChosen:
      // The argument as the user typed it, then the program's words.
      putText(err, optionFaultPrefix());
      put(err, fault.subject);
      putText(err, text + "\n");
      return;
    case FaultKind::kSecondSmfName:
    case FaultKind::kNoOutputName:
    case FaultKind::kSecondOutputName:
      putText(err, std::string(optionFaultPrefix()) + text + "\n");
      return;
    case FaultKind::kFileError:
      // As perror writes it: the name, then the system's reason.
      put(err, fault.subject + ": " + std::strerror(fault.error) + "\n");
      return;
    case FaultKind::kOutputIsInput:
    case FaultKind::kOutputTooLong:
      put(err, fault.subject + ": ");
      putText(err, text + "\n");
      return;
    default:
      putText(err, dataFaultMessage(fault.kind));
      return;
  }
}

// The argument that a fault found on opening the file is about, as typed.
std::string argumentOf(FaultKind kind, const Options& options) {
  switch (kind) {
    case FaultKind::kBadGrid: return options.gridArgument;
    case FaultKind::kNoSuchTrack: return options.tracksArgument;
    case FaultKind::kNoSuchChannel: return options.channelsArgument;
    case FaultKind::kNothingChosen: {
      const char* both = options.tracksArgument.empty() || options.channelsArgument.empty() ? "" : " ";
      return options.tracksArgument + both + options.channelsArgument;
    }
    default: return {};
  }
}

// Reads, converts and writes; returns whether everything went. With a
// `preview`, it is the conversion's own view of what it wrote; `first` gets
// the first fault reported.
bool convertFile(const Options& options, FileSystem& files, Console& out, Console& err,
                 const Schedule& schedule, Preview* preview, Fault& first) {
  // Every fault is reported, and the first kept for the caller.
  auto tell = [&](const Fault& fault) {
    if (fault && !first) first = fault;
    report(err, fault);
  };
  InputBytes input;
  if (const Fault fault = readInput(files, options.inputName, input)) {
    tell(fault);
    return false;
  }
  // Writing onto the input would destroy it before it is converted.
  NodeInfo in, existing;
  if (!files.info(options.inputName, in) && !files.info(options.outputName, existing) &&
      in.kind != NodeKind::kMissing && existing.kind != NodeKind::kMissing &&
      in.device == existing.device && in.inode == existing.inode) {
    tell(Fault(FaultKind::kOutputIsInput, 0, options.outputName));
    return false;
  }
  // A file that is not MIDI at all touches no output.
  OpenedSong song;
  if (const Fault fault = openSong(input, options.settings, schedule, song)) {
    tell(Fault(fault.kind, 0, argumentOf(fault.kind, options)));
    if (preview != nullptr) *preview = makePreview(input, options.settings);
    return false;
  }
  OutputFile output;
  if (const Fault fault = output.open(files, options.outputName, options.outputLimit)) {
    tell(fault);
    return false;
  }
  // After a fault in the data the MML written before it is kept; a refused
  // write keeps nothing of this run.
  std::optional<PreviewCollector> collector;
  if (preview != nullptr) collector.emplace(song);
  const Fault fault = convert(song, output, out, schedule, collector ? &*collector : nullptr);
  if (collector) *preview = collector->finish(fault);
  // Past the cap the conversion stops there: its fault, if any, is not what
  // the user is told.
  if (output.error().kind != FaultKind::kOutputTooLong) tell(fault);
  const Fault written = output.commit();
  tell(written);
  return !fault && !written;
}

// The cores this process may run on, fewer than the machine has where a
// container or taskset limits it. On Linux one system call; the standard
// library reads a file instead.
unsigned usableCores() {
#if defined(__linux__) && !defined(__EMSCRIPTEN__)
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(CPU_COUNT(&set));
#endif
  return std::thread::hardware_concurrency();
}

}  // namespace

Schedule scheduleFromEnvironment() {
  Schedule schedule;
  if (const char* setting = std::getenv("VANTREL_THREADS")) {
    char* end = nullptr;
    const long value = std::strtol(setting, &end, 10);
    if (end != setting && *end == '\0' && value >= 1) {
      schedule.threads = static_cast<int>(std::min(value, 256L));
      return schedule;
    }
  }
  const unsigned cores = usableCores();
  schedule.threads = cores == 0 ? 1 : static_cast<int>(std::min(cores, 16u));
  return schedule;
}

int runProgram(std::span<const std::string> arguments, FileSystem& files, Console& out,
               Console& err, const Schedule& schedule) {
  const CommandLine line = parseCommandLine(arguments);
  bool done = true;
  switch (line.action) {
    case CommandLine::Action::kFault:
      report(err, line.fault, line.refusal);
      return 1;
    case CommandLine::Action::kUsage:
      if (out.reader() == Reader::kRecord) {
        putText(out, usageText());
      } else {
        putText(out, terminalUsage(out.reader()));
        noteAfterUsage(out, line);
      }
      break;
    case CommandLine::Action::kVersion:
      put(out, versionText());
      break;
    case CommandLine::Action::kConvert:
      return runConversion(line.options, files, out, err, schedule);
  }
  // What the console did not take was asked for too.
  if (out.error() != 0) {
    report(err, fileFault("stdout", out.error()));
    done = false;
  }
  return done ? 0 : 1;
}

int runConversion(const Options& options, FileSystem& files, Console& out, Console& err,
                  const Schedule& schedule, Preview* preview, Fault* reported) {
  put(out, "SMF = " + options.inputName + "\nMML = " + options.outputName + "\n");
  Fault first;
  bool done = true;
  try {
    done = convertFile(options, files, out, err, schedule, preview, first);
  } catch (const std::bad_alloc&) {
    // Memory that ran out: the earlier output stays as it was.
    first = fileFault(options.inputName, ENOMEM);
    report(err, first);
    done = false;
  }
  // What the console did not take was asked for too.
  if (out.error() != 0) {
    const Fault fault = fileFault("stdout", out.error());
    if (!first) first = fault;
    report(err, fault);
    done = false;
  }
  if (reported != nullptr) *reported = first;
  return done ? 0 : 1;
}

}  // namespace vantrel
