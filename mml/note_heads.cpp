#include "mml/note_heads.h"

namespace vantrel {
namespace {

// Scale step and sharp of each pitch class: black keys are the white key
// below with the sharp word.
constexpr int kStep[12] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
constexpr bool kSharp[12] = {false, true, false, true, false, false,
                             true, false, true, false, true, false};

}  // namespace

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
