// convert: the whole conversion of one SMF held in memory, as one call.
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

#include "mml/schedule.h"
#include "mml/settings.h"
#include "util/sink.h"
#include "util/fault.h"

namespace vantrel {

// Converts `smf` with `settings`: the MML text goes to `mml`, the listing of
// the bar structure found (one line per time-signature entry) to `console`.
// An SMF wrapped in a RIFF MIDI form (.rmi) is converted as the SMF alone.
// Returns the fault of the SMF data, if any: a fault of the header chunk
// before anything is written, a fault of the tracks after the MML written
// before it. The text and the fault are the same for every `schedule`.
Fault convert(std::span<const std::uint8_t> smf, const Settings& settings, Sink& mml,
              Sink& console, const Schedule& schedule = {});

// The fault of the header chunk of `smf` (unwrapped from a RIFF form, as
// convert does) that convert ends with before it writes anything, or kNone:
// a front end can check a file before it creates anything for its output.
// With `settings`, also a grid whose step is no whole number of ticks at the
// file's time base (kBadGrid).
FaultKind checkHeader(std::span<const std::uint8_t> smf, const Settings& settings = {});

}  // namespace vantrel
