// Settings: what a conversion is asked to do, as the command line's options
// (or a page's controls) give it. It holds no file names: where the bytes
// come from and go to is the front end's business.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mml/vocabulary.h"
#include "smf/event_reader.h"

namespace vantrel {

struct Settings {
  bool barLines = true;             // bar lines and counted line breaks (/B+, /B-)
  std::int32_t lineBars = 4;        // bars per line (/C): 0 after every piece, negative never
  std::int32_t pickupTicks = 0;     // length of an incomplete first bar (/A), 0 none
  Dialect dialect = Dialect::kMml;  // the kana dialect with /J
  std::int32_t filterMask = 0;      // FilterBits of the events left out (/M)
  // How many threads may convert tracks at once. The text is the same for
  // any number: tracks are independent once the rhythm table is built.
  int threads = 1;
  // Consecutive tracks go to a thread in batches of about this many events
  // (some milliseconds of work), and only files of four batches or more are
  // shared out: a thread's start and its memory cost more than a smaller file
  // takes on one. Tests make it small to share out small files.
  std::size_t batchEvents = std::size_t{1} << 16;
};

}  // namespace vantrel
