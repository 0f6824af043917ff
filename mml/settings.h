// Settings: what a conversion is asked to do, as the command line's options
// (or a page's controls) give it: only what a user chooses. It holds no file
// names (where the bytes come from and go to is the front end's business)
// and nothing of how fast (see Schedule).
#pragma once

#include <cstdint>
#include <vector>

#include "mml/vocabulary.h"
#include "smf/events.h"

namespace vantrel {

struct Settings {
  bool barLines = true;             // bar lines and counted line breaks (/B+, /B-)
  std::int32_t lineBars = 4;        // bars per line (/C): 0 after every piece, negative never
  std::int32_t pickupTicks = 0;     // length of an incomplete first bar (/A), 0 none
  Dialect dialect = Dialect::kMml;  // the kana dialect with /J
  std::int32_t filterMask = 0;      // FilterBits of the events left out (/M)
  // The grid that notes and events are moved onto (/Q, --quantize): the note
  // value of its step (16: sixteenths, 12: eighth-note triplets), kAutoGrid
  // to choose it from the file, 0 for none.
  std::uint32_t gridNote = 0;
  // The tracks (numbered from 0, as TR(n) writes them) and channels (1 to
  // 16, as CH(n)) whose notes and channel messages are converted (--tracks,
  // --channels), ascending and each once; empty for all. Every track's
  // system events are converted whatever the choice.
  std::vector<std::uint32_t> tracks;
  std::vector<std::uint32_t> channels;
  // Each channel's notes dealt into voices, each a section of its own
  // (--voices; see voices/voice_table.h).
  bool voices = false;
  // A velocity word only where a note's velocity differs by this much or
  // more from the one in effect (--velocity-step); 1 writes every change.
  std::uint32_t velocityStep = 1;
};

inline constexpr std::uint32_t kAutoGrid = 0xFFFFFFFF;

}  // namespace vantrel
