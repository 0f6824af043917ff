// The web page's entry points into the program, compiled to WebAssembly.
//
// vantrel_run runs the command-line program itself (runProgram) on files in
// memory (a MemoryFileSystem holding just the input), so that the page gives
// exactly what the command line gives in a folder that holds just that file.
// vantrel_preview reads the notes and the bar structure of a file for the
// piano roll, through the core's makePreview; vantrel_output_name gives the
// name the program writes its MML under.
//
// Results stay in the module until the next call of the same function; the
// page copies them out through the accessor functions.

#include <emscripten/emscripten.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/console.h"
#include "app/memory_file_system.h"
#include "app/program.h"
#include "mml/preview.h"
#include "rhythm/rhythm_table.h"

namespace {

using namespace vantrel;

struct RunResult {
  std::string out;
  std::string err;
  std::string mml;
  bool wroteMml = false;
};
RunResult lastRun;

// `packed` holds `count` arguments, each ending in a NUL byte.
std::vector<std::string> unpackArguments(const char* packed, int count) {
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) {
    arguments.emplace_back(packed);
    packed += arguments.back().size() + 1;
  }
  return arguments;
}

// What the preview found, packed for the page (see vantrel_preview).
struct PackedPreview {
  std::string fault;                // the whole message as the program prints it, or empty
  std::vector<double> numbers;      // see vantrel_preview
  std::vector<std::uint32_t> keys;  // per note: track << 16 | channel << 8 | key
  std::vector<std::uint8_t> velocities;  // per note
  std::string names;                // the tracks' names, one after the other
};
PackedPreview lastPreview;

// The name of the output that the last vantrel_output_name call derived.
std::string lastOutputName;

}  // namespace

extern "C" {

// Runs the program with `argumentCount` arguments (packed, each ending in a
// NUL byte) in an empty folder holding `input` under the name the arguments
// give it. Returns the exit status; the outputs are read with vantrel_result.
EMSCRIPTEN_KEEPALIVE int vantrel_run(const char* packedArguments, int argumentCount,
                                     const std::uint8_t* input, std::size_t inputSize) {
  const std::vector<std::string> arguments = unpackArguments(packedArguments, argumentCount);
  lastRun = RunResult{};
  const CommandLine line = parseCommandLine(arguments);
  MemoryFileSystem files;
  if (line.action == CommandLine::Action::kConvert) {
    files.addFile(line.options.inputName, std::string(reinterpret_cast<const char*>(input), inputSize));
  }
  StringConsole out;
  StringConsole err;
  const int status = runProgram(arguments, files, out, err);
  lastRun.out = std::move(out.text);
  lastRun.err = std::move(err.text);
  // Only a file the run made is its MML: the output named as the input, say,
  // was there before and is not written.
  if (line.action == CommandLine::Action::kConvert &&
      line.options.outputName != line.options.inputName) {
    if (const std::string* mml = files.file(line.options.outputName)) {
      lastRun.mml = *mml;
      lastRun.wroteMml = true;
    }
  }
  return status;
}

// The bytes of the last run's output `which` (0 standard output, 1 standard
// error, 2 the MML file) and their number; the size is -1 when no MML file
// was written.
EMSCRIPTEN_KEEPALIVE const char* vantrel_result_data(int which) {
  return which == 0 ? lastRun.out.data() : which == 1 ? lastRun.err.data() : lastRun.mml.data();
}
EMSCRIPTEN_KEEPALIVE int vantrel_result_size(int which) {
  if (which == 2 && !lastRun.wroteMml) return -1;
  const std::string& text = which == 0 ? lastRun.out : which == 1 ? lastRun.err : lastRun.mml;
  return static_cast<int>(text.size());
}

// The preview of `smf` (makePreview, mml/preview.h) with the pickup and
// event filter that `packedArguments` (as for vantrel_run) ask for. Returns
// 0, or 1 when the file has a fault (its message from vantrel_preview_fault);
// the tracks before a fault still give their notes.
//
// vantrel_preview_numbers then holds: division, format, track count, the
// tick of the last end of track, the number of rhythm entries R, of notes N,
// of tempo events T and of track names K, and the grid's note value (0 off
// the grid); R entries of tick, numerator, denominator, key, mode and bar
// length (the sentinel's tick as -1); N pairs of start and end tick; on a
// grid, N pairs of the notes' start and end before they moved; T pairs of
// tick and microseconds per quarter note; and the K names' lengths in bytes.
// vantrel_preview_keys holds the N notes' track, channel and key,
// vantrel_preview_velocities their velocities, vantrel_preview_names the
// names' bytes one after the other.
EMSCRIPTEN_KEEPALIVE int vantrel_preview(const char* packedArguments, int argumentCount,
                                         const std::uint8_t* smf, std::size_t size) {
  lastPreview = PackedPreview{};
  const CommandLine line = parseCommandLine(unpackArguments(packedArguments, argumentCount));
  const Settings settings = line.action == CommandLine::Action::kConvert ? line.options.settings
                                                                          : Settings{};
  const Preview preview = makePreview({smf, size}, settings);
  lastPreview.fault = preview.fault;

  const bool onGrid = preview.gridNote != 0;
  std::vector<double>& numbers = lastPreview.numbers;
  numbers.reserve(9 + 6 * preview.rhythm.size() + (onGrid ? 4 : 2) * preview.notes.size() +
                  2 * preview.tempos.size() + preview.trackNames.size());
  numbers = {double(preview.division), double(preview.format), double(preview.trackCount),
             double(preview.lastEnd), double(preview.rhythm.size()), double(preview.notes.size()),
             double(preview.tempos.size()), double(preview.trackNames.size()),
             double(preview.gridNote)};
  for (const RhythmEntry& e : preview.rhythm) {
    numbers.insert(numbers.end(), {e.tick == kSentinelTick ? -1.0 : double(e.tick),
                                   double(e.numerator), double(e.denominator), double(e.key),
                                   double(e.mode), double(e.barLength)});
  }
  lastPreview.keys.reserve(preview.notes.size());
  lastPreview.velocities.reserve(preview.notes.size());
  for (const PreviewNote& n : preview.notes) {
    numbers.push_back(double(n.start));
    numbers.push_back(double(n.end));
    lastPreview.keys.push_back(n.track << 16 | std::uint32_t{n.channel} << 8 | n.key);
    lastPreview.velocities.push_back(n.velocity);
  }
  if (onGrid) {
    for (const PreviewNote& n : preview.notes) {
      numbers.push_back(double(n.originalStart));
      numbers.push_back(double(n.originalEnd));
    }
  }
  for (const PreviewTempo& t : preview.tempos) {
    numbers.push_back(double(t.tick));
    numbers.push_back(double(t.microseconds));
  }
  for (const std::string& name : preview.trackNames) {
    numbers.push_back(double(name.size()));
    lastPreview.names += name;
  }
  return preview.fault.empty() ? 0 : 1;
}

// The name of the MML file that the command line `packedArguments` (as for
// vantrel_run) writes, as the program derives it (its "MML = " line); empty
// when those arguments convert nothing.
EMSCRIPTEN_KEEPALIVE const char* vantrel_output_name(const char* packedArguments,
                                                     int argumentCount) {
  const CommandLine line = parseCommandLine(unpackArguments(packedArguments, argumentCount));
  lastOutputName = line.action == CommandLine::Action::kConvert ? line.options.outputName : "";
  return lastOutputName.c_str();
}

// The bytes of the module's memory: a page may start a new module to give
// back what a big file made it take.
EMSCRIPTEN_KEEPALIVE double vantrel_memory_size() {
  return static_cast<double>(__builtin_wasm_memory_size(0)) * 65536.0;
}

EMSCRIPTEN_KEEPALIVE const double* vantrel_preview_numbers() { return lastPreview.numbers.data(); }
EMSCRIPTEN_KEEPALIVE int vantrel_preview_number_count() {
  return static_cast<int>(lastPreview.numbers.size());
}
EMSCRIPTEN_KEEPALIVE const std::uint32_t* vantrel_preview_keys() { return lastPreview.keys.data(); }
EMSCRIPTEN_KEEPALIVE const std::uint8_t* vantrel_preview_velocities() {
  return lastPreview.velocities.data();
}
EMSCRIPTEN_KEEPALIVE const char* vantrel_preview_names() { return lastPreview.names.data(); }
EMSCRIPTEN_KEEPALIVE const char* vantrel_preview_fault() { return lastPreview.fault.c_str(); }

}  // extern "C"
