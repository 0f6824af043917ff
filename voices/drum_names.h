// The General MIDI names of the drum sounds of channel 10, keys 35 to 81,
// which the comment of each drum voice gives.
#pragma once

#include <string_view>

namespace vantrel {

// The name of drum key `key`, or "" for a key without one.
std::string_view drumName(int key);

}  // namespace vantrel
