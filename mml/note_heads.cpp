#include "mml/note_heads.h"

#include <algorithm>
#include <cstdlib>

namespace vantrel {
namespace {

// Scale step and sharp of each pitch class: black keys are the white key
// below with the sharp word.
constexpr int kStep[12] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
constexpr bool kSharp[12] = {false, true, false, true, false, false,
                             true, false, true, false, true, false};

}  // namespace

void planVelocities(std::span<std::uint8_t> velocities, std::uint32_t step) {
  const int width = 2 * (static_cast<int>(step) - 1);
  int inEffect = -256;  // none yet
  for (std::size_t k = 0; k < velocities.size(); ++k) {
    const int own = velocities[k];
    if (std::abs(own - inEffect) < static_cast<int>(step)) continue;
    int low = own, high = own;
    for (std::size_t next = k + 1; next < velocities.size(); ++next) {
      const int v = velocities[next];
      if (std::max(high, v) - std::min(low, v) > width) break;
      low = std::min(low, v);
      high = std::max(high, v);
    }
    inEffect = (low + high) / 2;
    velocities[k] = static_cast<std::uint8_t>(inEffect);
  }
}

NoteHeadTexts::NoteHeadTexts(const Vocabulary& words) {
  for (int pitchClass = 0; pitchClass < 12; ++pitchClass) {
    pitch[pitchClass].append(words.noteNames[kStep[pitchClass]]);
    if (kSharp[pitchClass]) pitch[pitchClass].append(words.sharp);
  }
  for (int value = 0; value < 256; ++value) {
    velocity[value].append(words.velocity);
    velocity[value].appendNumber(static_cast<std::uint64_t>(value));
  }
  for (int number = 0; number < 22; ++number) {
    octave[number].append(words.octaveWord());
    octave[number].appendNumber(static_cast<std::uint64_t>(number));
  }
  for (int difference = -2; difference <= 2; ++difference) {
    octaveMark[difference + 2].append(words.octaveMark(difference));
  }
}

}  // namespace vantrel
