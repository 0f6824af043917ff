// convert: the whole conversion of one SMF held in memory, as one call.
//
// It never ends the process, prints nothing of its own and touches no global
// state, so that several conversions can run side by side; what went wrong
// comes back as a value, after every byte of MML written before it has
// reached the sink. The front end decides what that means to its user.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "mml/settings.h"
#include "mml/sink.h"
#include "rhythm/rhythm_table.h"
#include "smf/smf_header.h"

namespace vantrel {

struct Outcome {
  // The message of the fault in the SMF data that stopped the conversion
  // (code page 932, ending in a line feed, to be written after
  // kDataFaultPrefix), or nullptr when the whole file was converted.
  const char* fault = nullptr;
  // The errno of the write that the MML sink refused (its flush included),
  // 0 when it took everything. A refused write stops the conversion; a
  // fault found after it is not reported.
  int writeError = 0;

  bool ok() const { return fault == nullptr && writeError == 0; }
};

// Converts `smf` with `settings`: the MML text goes to `mml`, the listing of
// the bar structure found (one line per time-signature entry) to `console`.
// An SMF wrapped in a RIFF MIDI form (.rmi) is converted as the SMF alone.
Outcome convert(std::span<const std::uint8_t> smf, const Settings& settings, Sink& mml,
                Sink& console);

// The same conversion in two steps, for a front end with work of its own to
// do meanwhile (the command line empties an existing output file while a big
// SMF is walked). walkSmf reads the header and walks every track to find the
// bar structure and where each track lies, and writes nothing; writeMml
// writes everything convert writes, from what the walk found.
struct WalkedSmf {
  std::span<const std::uint8_t> smf;  // unwrapped from a RIFF form
  Settings settings;
  const char* headerFault = nullptr;  // the header chunk is wrong: nothing is written
  const char* walkFault = nullptr;    // a track is wrong: the MML file's head is written
  SmfHeader header;
  RhythmTable rhythm;
  std::vector<TrackChunk> tracks;
};
WalkedSmf walkSmf(std::span<const std::uint8_t> smf, const Settings& settings);
Outcome writeMml(const WalkedSmf& walked, Sink& mml, Sink& console);

// The message of the fault that the header chunk of `smf` (unwrapped from a
// RIFF form, as convert does) makes convert end with before it writes
// anything, or nullptr: a front end can check a file before it creates
// anything for its output.
const char* checkHeader(std::span<const std::uint8_t> smf);

// The whole message of a data fault, as the program prints it.
std::string dataFaultMessage(const char* fault);

}  // namespace vantrel
