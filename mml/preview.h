// preview: what a front end needs to draw a file before converting it (the
// web page's piano roll): the header's fields, the bar structure with its
// keys, every note with its track, channel, key, start and end, and the fault
// that stops the conversion, as the program prints it.
//
// The file is read exactly as the conversion reads it: unwrapped from a RIFF
// form (.rmi), the header checked, every track walked with the same event
// filter and pickup, then each track decoded as the conversion decodes it
// and, with a grid, moved onto it.
// The data is plain (structs and vectors) so that any front end can copy it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "mml/settings.h"
#include "rhythm/rhythm_table.h"

namespace vantrel {

struct PreviewNote {
  std::uint32_t track = 0;   // index of the track chunk, from 0
  std::uint8_t channel = 0;  // 0 .. 15
  std::uint8_t key = 0;      // 0 .. 127
  std::uint64_t start = 0;   // ticks from the start of the song
  // The tick of the Note Off (or Note On of velocity 0) of the same channel
  // and key that ends it; a note that none ends lasts to its track's end.
  std::uint64_t end = 0;
  // On a grid, where the note was before it moved; else start and end again.
  std::uint64_t originalStart = 0;
  std::uint64_t originalEnd = 0;
  std::uint32_t order = 0;  // its Note On's place among the track's events
  std::uint8_t velocity = 0;  // 1 .. 127 (the Note On's byte)
};

// A tempo event: from `tick` on, a quarter note lasts `microseconds`.
struct PreviewTempo {
  std::uint64_t tick = 0;
  std::uint32_t microseconds = 500000;
};

struct Preview {
  bool headerRead = false;  // the header chunk was read: the three fields below are valid
  std::uint16_t format = 0;
  std::uint16_t trackCount = 0;
  std::uint16_t division = 0;
  // The rhythm table as the conversion walks it (the sentinel last, with
  // tick kSentinelTick); empty when the file has a fault.
  std::vector<RhythmEntry> rhythm;
  // The notes of every track that decodes, track by track, each in the order
  // of its Note On.
  std::vector<PreviewNote> notes;
  std::uint64_t lastEnd = 0;  // the greatest tick of an end-of-track event
  // Every tempo event of the tracks that decode, in the order of their ticks
  // (on a grid, where the grid puts them); a file without one plays at 120.
  std::vector<PreviewTempo> tempos;
  // Each decoded track's first track name (meta event 3), its bytes as the
  // file holds them (code page 932, mostly); empty when it has none.
  std::vector<std::string> trackNames;
  // The grid's note value, chosen where /Q asks the program to; 0 none.
  std::uint32_t gridNote = 0;
  // The whole message of a fault of the header or the chunks, as the program
  // prints it on standard error (code page 932), or empty. (A fault in an
  // event shows in the conversion's result.)
  std::string fault;
};

// The preview of `smf` (an SMF, or one in a RIFF form) with the pickup and
// the event filter of `settings`. The tracks before a fault still give their
// notes.
Preview makePreview(std::span<const std::uint8_t> smf, const Settings& settings);

}  // namespace vantrel
