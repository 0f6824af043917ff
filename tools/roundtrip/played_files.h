// Played SMFs, one for each seed: music as a person plays it into a
// sequencer, for checking conversions on a grid. Bars of changing meters
// (7/8 and 6/8 among them, sometimes after a pickup), a feel of straight
// sixteenths or of triplets, and notes whose starts and lengths are off the
// beat by a little (or, now and then, by a lot): staccato, legato that
// overlaps the next note, chords played as a strum, a key struck again
// faster than any grid (a trill or a drum roll) or just before its note (a
// flam), or struck again where the old note ends, notes that end where they
// start, a note left sounding at the end of its track, beats of triplets
// among straight ones, bars of rest, controllers, pitch bends, program
// changes and bank selects between the notes, streams of a controller a
// few ticks apart with values repeated, tempo changes and markers off the
// beat. Now and then a voice is sequenced: on the grid, in a track played a
// few ticks late or early. With each file come the options it is converted
// with: the grids /Q16, /Q12 and the program's own choice, in both dialects,
// with the pickup's /A where it has one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::roundtrip {

struct PlayedSmf {
  std::vector<std::uint8_t> bytes;
  int division = 480;
  std::int32_t pickupTicks = 0;  // the length of the pickup; 0: none
  bool triplets = false;         // played on eighth-note triplets, not sixteenths
  std::size_t noteCount = 0;
};

PlayedSmf generatePlayedSmf(std::uint64_t seed);

// The option sets to convert the played file of `seed` with: each of /Q16,
// /Q12 and /Q (written in its several forms from seed to seed), in the MML
// and the kana dialect; with /A where the file has a pickup; now and then
// without bar lines or with a line per bar.
std::vector<std::vector<std::string>> playedOptionSets(std::uint64_t seed, const PlayedSmf& file);

}  // namespace vantrel::roundtrip
