// Vocabulary: every word that differs between the MML dialect and the kana
// dialect (/J), as the code page 932 bytes the writer emits.
//
// Words that are the same in both dialects are written where they are used.
#pragma once

#include <cstdint>
#include <string_view>

namespace vantrel {

enum class Dialect : std::uint8_t { kMml, kKana };

struct Vocabulary {
  std::string_view tie, rest, sharp, velocity, program;
  std::string_view noteNames[7];  // scale steps c d e f g a b
  std::string_view octaveRow[6];  // 0: octave word; 1..5: marks for -2..+2
  std::string_view time, channel, channelTail, track;
  std::string_view text, copyright, trackName, tempo, timeSignature;

  std::string_view octaveWord() const { return octaveRow[0]; }
  // The mark for an octave difference of -2 .. +2.
  std::string_view octaveMark(int difference) const { return octaveRow[difference + 3]; }
};

const Vocabulary& vocabulary(Dialect dialect);

}  // namespace vantrel
