// unwrapRiff: the Standard MIDI File inside a RIFF MIDI file (.rmi).
//
// Windows keeps MIDI in a RIFF form of type "RMID": "RIFF", a little-endian
// size, "RMID", then chunks of a four-byte id, a little-endian size and the
// data, each padded to an even length. The SMF is the data of the first
// "data" chunk; everything else in the form (INFO lists, say) is passed over.
#pragma once

#include <cstdint>
#include <span>

namespace vantrel {

// The data of the first "data" chunk of an RMID form, as far as the file
// holds it; any other file, or a form without a data chunk, as it is.
std::span<const std::uint8_t> unwrapRiff(std::span<const std::uint8_t> file);

}  // namespace vantrel
