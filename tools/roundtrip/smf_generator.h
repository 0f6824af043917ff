// Random but valid SMFs, one for each seed, made to exercise what files from
// sequencers do: format 0 and 1, many tracks, divisions from 24 to 1920 and
// odd ones, running status, chords, overlapping and re-struck notes, legato
// at one tick in both storage orders, notes without a Note Off, every kind of
// controller and the bank-select, RPN and NRPN idioms (whole and broken),
// SysEx, every meta event that vantrel writes, and time-signature changes on
// and off the bar lines. With the file come option sets to convert it with,
// pickups among them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::roundtrip {

struct GeneratedSmf {
  std::vector<std::uint8_t> bytes;
  int format = 1;
  int division = 480;
  int trackCount = 1;
  std::size_t eventCount = 0;  // end-of-track events included
};

GeneratedSmf generateSmf(std::uint64_t seed);

// `count` option sets for converting the file of `seed`: the first is always
// the default (no option), the others are drawn from dialect, layout,
// pickup and filter options.
// One more set for the file of `seed`: --voices or --velocity-step, with
// other options or alone.
std::vector<std::string> voiceOptionSet(std::uint64_t seed, int division);

std::vector<std::vector<std::string>> optionSetsFor(std::uint64_t seed, int division,
                                                    std::size_t count);

}  // namespace vantrel::roundtrip
