// convert: the whole conversion of an opened song, as one call.
//
// It never ends the process, prints nothing of its own and touches no global
// state, so that several conversions can run side by side; the fault that
// stopped it comes back as a value, after every byte of MML written before
// it has reached the sink. A sink that refuses a write stops the conversion
// too; what that means to the user is for the front end that made the sink
// to say.
#pragma once

#include <cstdint>
#include <span>

#include "mml/open.h"
#include "mml/preview.h"
#include "mml/schedule.h"
#include "mml/settings.h"
#include "util/fault.h"
#include "util/sink.h"

namespace vantrel {

// Converts `song`: the MML text goes to `mml`, the listing of the bar
// structure found (one line per time-signature entry, then the grid's line
// on a grid) to `console`, and each track as written to `preview`, when
// given. Returns the song's fault of the tracks' data, if any, after the MML
// written before it. The text and the fault are the same for every
// `schedule`.
Fault convert(const OpenedSong& song, Sink& mml, Sink& console, const Schedule& schedule = {},
              PreviewCollector* preview = nullptr);

// Opens `smf` (an SMF, or one in a RIFF form) and converts it: a fault of
// the header comes back before anything is written.
Fault convert(std::span<const std::uint8_t> smf, const Settings& settings, Sink& mml,
              Sink& console, const Schedule& schedule = {});

}  // namespace vantrel
