// The web page's way into the program, compiled to WebAssembly: one call
// per conversion, typed on both sides (embind).
//
// convert(settings, name, bytes) converts `bytes` as the command line does
// a file called `name` in a folder that holds just that file, for the
// settings the page's controls give (every field of Settings, the output
// cap, and the options' texts as the page's command line writes them, for
// the faults' messages); run(args, bytes) does the same for a command line,
// for tests and for anything that holds arguments rather than settings.
// Both give one result: the exit status, the first fault's kind and subject,
// the bytes of standard output, standard error and the MML, the MML's name,
// and the conversion's own preview (mml/preview.h). With voices, the
// preview gives each note its voice and the names the MML gives the drum
// channel's voices, so that the page's roll can colour and name them.
//
// The bytes of a result are views of the module's memory, valid until the
// next call: the caller copies what it keeps before it calls again.

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/console.h"
#include "app/memory_file_system.h"
#include "app/program.h"
#include "mml/preview.h"
#include "smf/events.h"
#include "util/fault.h"
#include "voices/drum_names.h"

namespace {

using namespace vantrel;
using emscripten::typed_memory_view;
using emscripten::val;

// The name the page knows each fault by. No default: a kind added to the
// core's list stops this file compiling until it has a name, and the page's
// build stops until the page has words for that name (web/make_page.js).
const char* faultName(FaultKind kind) {
  switch (kind) {
    case FaultKind::kNone: return "none";
    case FaultKind::kBadOption: return "badOption";
    case FaultKind::kSecondSmfName: return "secondSmfName";
    case FaultKind::kNoOutputName: return "noOutputName";
    case FaultKind::kSecondOutputName: return "secondOutputName";
    case FaultKind::kBadGrid: return "badGrid";
    case FaultKind::kBadList: return "badList";
    case FaultKind::kNoSuchTrack: return "noSuchTrack";
    case FaultKind::kNoSuchChannel: return "noSuchChannel";
    case FaultKind::kNothingChosen: return "nothingChosen";
    case FaultKind::kFileError: return "fileError";
    case FaultKind::kOutputIsInput: return "outputIsInput";
    case FaultKind::kOutputTooLong: return "outputTooLong";
    case FaultKind::kNoMThd: return "noMThd";
    case FaultKind::kFormat2: return "format2";
    case FaultKind::kUnknownFormat: return "unknownFormat";
    case FaultKind::kNoTracks: return "noTracks";
    case FaultKind::kFormat0Tracks: return "format0Tracks";
    case FaultKind::kZeroDivision: return "zeroDivision";
    case FaultKind::kSmpteDivision: return "smpteDivision";
    case FaultKind::kNoMTrk: return "noMTrk";
    case FaultKind::kTrackCutShort: return "trackCutShort";
    case FaultKind::kInvalidMidiEvent: return "invalidMidiEvent";
    case FaultKind::kBadSequenceNumber: return "badSequenceNumber";
    case FaultKind::kBadChannelPrefix: return "badChannelPrefix";
    case FaultKind::kBadPort: return "badPort";
    case FaultKind::kBadEndOfTrack: return "badEndOfTrack";
    case FaultKind::kBadTempo: return "badTempo";
    case FaultKind::kBadSmpteOffset: return "badSmpteOffset";
    case FaultKind::kBadTimeSignature: return "badTimeSignature";
    case FaultKind::kBadKeySignature: return "badKeySignature";
    case FaultKind::kBadMetaEvent: return "badMetaEvent";
  }
  return nullptr;
}

// Every kind's name, in the order of the core's list.
val faultKinds() {
  val names = val::array();
  for (int kind = 0; kind < 256; ++kind) {
    const char* name = faultName(static_cast<FaultKind>(kind));
    if (name == nullptr) break;
    names.call<void>("push", val(name));
  }
  return names;
}

// What the last call made, kept for the views its result holds.
struct Kept {
  MemoryFileSystem files;
  StringConsole out;
  StringConsole err;
  Preview preview;
  std::vector<double> ticks;     // per note: start, end
  std::vector<double> original;  // per note on a grid: start, end as played
  std::vector<std::uint32_t> keys;
  std::vector<std::uint8_t> velocities;
  std::vector<std::uint16_t> voices;  // with voices only
  std::vector<double> tempoTicks;
  std::vector<double> tempoMicroseconds;
  std::vector<double> barStarts;
  std::vector<double> lineOffsets;
  std::vector<std::uint32_t> lineBars;
  std::vector<std::uint32_t> lineLastBars;
  std::vector<double> rhythmTicks;  // the sentinel's as -1
  std::vector<std::uint8_t> numerators, denominators, modes;
  std::vector<std::int8_t> keySignatures;
  std::vector<std::uint32_t> barLengths;
};
std::unique_ptr<Kept> kept;

template <typename T>
val view(const std::vector<T>& numbers) {
  return val(typed_memory_view(numbers.size(), numbers.data()));
}

val bytesView(const std::string& bytes) {
  return val(typed_memory_view(bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data())));
}

// The preview as the page reads it: one typed array per field of the notes,
// tempos, bars, lines and rhythm entries. The notes' voices and the drum
// sounds' names only when the conversion dealt voices (else null): without
// them every voice is 0, and a big file's notes are copied once less.
val previewOf(Kept& k, bool voices) {
  const Preview& p = k.preview;
  const bool onGrid = p.gridNote != 0;
  k.ticks.reserve(2 * p.notes.size());
  if (onGrid) k.original.reserve(2 * p.notes.size());
  k.keys.reserve(p.notes.size());
  k.velocities.reserve(p.notes.size());
  if (voices) k.voices.reserve(p.notes.size());
  for (const PreviewNote& n : p.notes) {
    k.ticks.push_back(static_cast<double>(n.start));
    k.ticks.push_back(static_cast<double>(n.end));
    if (onGrid) {
      k.original.push_back(static_cast<double>(n.originalStart));
      k.original.push_back(static_cast<double>(n.originalEnd));
    }
    k.keys.push_back(n.track << 16 | std::uint32_t{n.channel} << 8 | n.key);
    k.velocities.push_back(n.velocity);
    if (voices) k.voices.push_back(n.voice);
  }
  for (const PreviewTempo& t : p.tempos) {
    k.tempoTicks.push_back(static_cast<double>(t.tick));
    k.tempoMicroseconds.push_back(t.microseconds);
  }
  k.barStarts.assign(p.barStarts.begin(), p.barStarts.end());
  for (const PreviewLine& line : p.lines) {
    k.lineOffsets.push_back(static_cast<double>(line.offset));
    k.lineBars.push_back(line.bar);
    k.lineLastBars.push_back(line.lastBar);
  }
  for (const RhythmEntry& e : p.rhythm) {
    k.rhythmTicks.push_back(e.tick == kSentinelTick ? -1.0 : static_cast<double>(e.tick));
    k.numerators.push_back(e.numerator);
    k.denominators.push_back(e.denominator);
    k.keySignatures.push_back(e.key);
    k.modes.push_back(e.mode);
    k.barLengths.push_back(e.barLength);
  }

  val notes = val::object();
  notes.set("ticks", view(k.ticks));
  notes.set("original", onGrid ? view(k.original) : val::null());
  notes.set("keys", view(k.keys));
  notes.set("velocities", view(k.velocities));
  notes.set("voices", voices ? view(k.voices) : val::null());
  val tempos = val::object();
  tempos.set("ticks", view(k.tempoTicks));
  tempos.set("microseconds", view(k.tempoMicroseconds));
  val lines = val::object();
  lines.set("offsets", view(k.lineOffsets));
  lines.set("bars", view(k.lineBars));
  lines.set("lastBars", view(k.lineLastBars));
  val rhythm = val::object();
  rhythm.set("ticks", view(k.rhythmTicks));
  rhythm.set("numerators", view(k.numerators));
  rhythm.set("denominators", view(k.denominators));
  rhythm.set("keys", view(k.keySignatures));
  rhythm.set("modes", view(k.modes));
  rhythm.set("barLengths", view(k.barLengths));
  // The names' bytes as the file holds them (code page 932, mostly).
  val names = val::array();
  for (const std::string& name : p.trackNames) names.call<void>("push", bytesView(name));
  // Each key's name as a drum voice's comment gives it ("" where it gives
  // none): on the drum channel a voice is a key.
  val drumNames = val::null();
  if (voices) {
    drumNames = val::array();
    for (int key = 0; key < 128; ++key) drumNames.call<void>("push", std::string(drumName(key)));
  }

  val preview = val::object();
  preview.set("headerRead", p.headerRead);
  preview.set("format", p.format);
  preview.set("trackCount", p.trackCount);
  preview.set("division", p.division);
  preview.set("gridNote", p.gridNote);
  preview.set("songEnd", static_cast<double>(p.lastEnd));
  preview.set("faultKind", val(faultName(p.faultKind)));
  preview.set("notes", notes);
  preview.set("tempos", tempos);
  preview.set("barStarts", view(k.barStarts));
  preview.set("lines", lines);
  preview.set("rhythm", rhythm);
  preview.set("trackNames", names);
  preview.set("drumNames", drumNames);
  return preview;
}

// Starts a call: what the last one kept goes, and `bytes` (a Uint8Array) is
// copied once, into the file the program reads.
Kept& start(const std::string& inputName, const val& bytes) {
  kept.reset();  // before the next is made: a big file's memory is used again
  kept = std::make_unique<Kept>();
  if (!bytes.isNull() && !bytes.isUndefined()) {
    std::string input(bytes["length"].as<std::size_t>(), '\0');
    val(typed_memory_view(input.size(), reinterpret_cast<std::uint8_t*>(input.data())))
        .call<void>("set", bytes);
    kept->files.addFile(inputName, std::move(input));
  }
  return *kept;
}

// The conversion of the file that `start` put in, for `options`.
val conversion(Kept& k, const Options& options) {
  Fault fault;
  const int status = runConversion(options, k.files, k.out, k.err, {}, &k.preview, &fault);
  // Only a file the run made is its MML: the output named as the input, say,
  // was there before and is not written.
  const std::string* mml =
      options.outputName != options.inputName ? k.files.file(options.outputName) : nullptr;
  val result = val::object();
  result.set("status", status);
  result.set("faultKind", val(faultName(fault.kind)));
  result.set("faultSubject", fault.subject);
  result.set("stdout", bytesView(k.out.text));
  result.set("stderr", bytesView(k.err.text));
  result.set("mml", mml != nullptr ? bytesView(*mml) : val::null());
  result.set("name", options.outputName);
  result.set("preview", previewOf(k, options.settings.voices));
  return result;
}

std::vector<std::uint32_t> numbers(const val& list) {
  return emscripten::vecFromJSArray<std::uint32_t>(list);
}

// The settings of the page's call (see the top), in the fields' own names.
Options optionsOf(const val& s, const std::string& name) {
  Settings settings;
  settings.barLines = s["barLines"].as<bool>();
  settings.lineBars = s["lineBars"].as<std::int32_t>();
  settings.pickupTicks = s["pickupTicks"].as<std::int32_t>();
  settings.dialect = s["kana"].as<bool>() ? Dialect::kKana : Dialect::kMml;
  settings.filterMask = s["filterMask"].as<std::int32_t>();
  settings.gridNote = s["gridNote"].as<std::uint32_t>();
  settings.tracks = numbers(s["tracks"]);
  settings.channels = numbers(s["channels"]);
  settings.voices = s["voices"].as<bool>();
  settings.velocityStep = s["velocityStep"].as<std::uint32_t>();
  Options options = optionsFor(name, settings);
  // A name that starts like an option follows "--" on the page's command
  // line, and is named as it is there.
  if (!name.empty() && (name[0] == '-' || name[0] == '/')) {
    options.inputName = inputNameOf(name, true);
    options.outputName = outputNameOf(options.inputName, true);
  }
  const double limit = s["outputLimit"].as<double>();
  options.outputLimit = std::isfinite(limit) && limit >= 0 && limit < 1.8e19
                            ? static_cast<std::uint64_t>(limit) : UINT64_MAX;
  options.gridArgument = s["gridArgument"].as<std::string>();
  options.tracksArgument = s["tracksArgument"].as<std::string>();
  options.channelsArgument = s["channelsArgument"].as<std::string>();
  return options;
}

val convert(val settings, std::string name, val bytes) {
  const Options options = optionsOf(settings, name);
  return conversion(start(options.inputName, bytes), options);
}

// The command line `args` (those after the program's name) in a folder
// holding `bytes` under the name they give it.
val run(val args, val bytes) {
  const std::vector<std::string> arguments = emscripten::vecFromJSArray<std::string>(args);
  const CommandLine line = parseCommandLine(arguments);
  if (line.action == CommandLine::Action::kConvert) {
    return conversion(start(line.options.inputName, bytes), line.options);
  }
  Kept& k = start("", val::null());
  const int status = runProgram(arguments, k.files, k.out, k.err);
  val result = val::object();
  result.set("status", status);
  result.set("faultKind", val(faultName(line.fault.kind)));
  result.set("faultSubject", line.fault.subject);
  result.set("stdout", bytesView(k.out.text));
  result.set("stderr", bytesView(k.err.text));
  result.set("mml", val::null());
  result.set("name", std::string());
  result.set("preview", previewOf(k, false));
  return result;
}

// The bytes of the module's memory: a page may start a new module to give
// back what a big file made it take.
double memorySize() { return static_cast<double>(__builtin_wasm_memory_size(0)) * 65536.0; }

// The /M letters' bits, as the command line sets them; "all" for /MA.
val filterBits() {
  val bits = val::object();
  bits.set("a", kFilterKeyPressure | kFilterChannelPressure);
  bits.set("b", static_cast<int>(kFilterPitchBend));
  bits.set("c", static_cast<int>(kFilterControlChange));
  bits.set("m", static_cast<int>(kFilterMeta));
  bits.set("p", static_cast<int>(kFilterProgramChange));
  bits.set("x", kFilterSysEx | kFilterSysExEscape);
  bits.set("all", 0xFFFF);
  return bits;
}

}  // namespace

EMSCRIPTEN_BINDINGS(vantrel) {
  emscripten::function("convert", &convert);
  emscripten::function("run", &run);
  emscripten::function("faultKinds", &faultKinds);
  emscripten::function("filterBits", &filterBits);
  emscripten::function("memorySize", &memorySize);
  emscripten::constant("autoGrid", kAutoGrid);
}
